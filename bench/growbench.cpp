#include "growbench.h"

#include "benchsupport.h"

#include "platform/fs/spliceinplace.h"
#include "tags/write/tagfilewrite.h"
#include "tags/write/tagwrite.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/resource.h>

using namespace zentrio;

namespace bench {

namespace {

// Files of `mib` MiB of audio behind a tag with a 100 KiB cover and no room to spare.
std::vector<std::string> makeBigFiles(const std::string& folder, int count, int mib)
{
    TagLib::ID3v2::Tag tag;
    tag.setTitle("Title");
    tag.setArtist("Artist");
    tag.setAlbum("Album");
    auto* cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setPicture(TagLib::ByteVector(100 * 1024, '\x5A'));
    tag.addFrame(cover);
    const TagLib::ByteVector header = tag.render(TagLib::ID3v2::v3);
    const std::string audio(1 << 20, '\xFF'); // a MiB at a time: the peak memory shows the writes
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(folder + "/big" + std::to_string(i) + ".mp3");
        std::ofstream out(paths.back(), std::ios::binary | std::ios::trunc);
        out.write(header.data(), header.size());
        for (int m = 0; m < mib; ++m)
            out << audio;
    }
    return paths;
}

// Each file's write of a 3000-character album, which makes its tag grow.
std::vector<PlannedWrite> grownWrites(const std::vector<std::string>& paths)
{
    std::vector<PlannedWrite> writes;
    TagChange change { { { TagField::Album, QString(3000, 'x') } }, TagSource::Id3v2First };
    for (const std::string& path : paths) {
        const auto layout = readTagLayout(path, true);
        const auto rewrite = layout ? rewriteTags(*layout, change) : std::nullopt;
        if (!rewrite || rewrite->region != TagRewrite::Region::Grows)
            std::abort();
        writes.push_back(plannedWrite(*layout, *rewrite));
    }
    return writes;
}

double timeWrites(int repetitions, int count, int mib, bool inPlace)
{
    QTemporaryDir dir;
    std::vector<std::string> paths;
    std::vector<PlannedWrite> writes;
    return measure(
        repetitions,
        [&] {
            for (std::size_t i = 0; i < paths.size(); ++i) {
                const bool done = inPlace
                    ? fs::spliceInPlace(paths[i], *writes[i].splice, writes[i].expected, tagCopyFolder())
                    : fs::replaceBySplice(paths[i], *writes[i].splice, writes[i].expected);
                if (!done)
                    std::abort();
            }
        },
        [&] {
            paths = makeBigFiles(dir.path().toStdString(), count, mib);
            writes = grownWrites(paths);
        });
}

} // namespace

void grownTagWrites(int repetitions)
{
    std::printf("\nA tag that grows, 20 files of 10 MiB (100 KiB cover), each write synced\n");
    const double swap = timeWrites(repetitions, 20, 10, false);
    reportFloor("before: a new file swapped in (inode, owner lost)", swap);
    report("in place behind a copy of the whole file", timeWrites(repetitions, 20, 10, true), swap, 3.0);
    std::printf("\nA tag that grows, one file of 200 MiB\n");
    const double bigSwap = timeWrites(3, 1, 200, false);
    reportFloor("before: a new file swapped in", bigSwap);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double peakBefore = usage.ru_maxrss / 1024.0;
    report("in place behind a copy of the whole file", timeWrites(3, 1, 200, true), bigSwap, 3.0);
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "peak memory %.1f MiB before the in-place writes, %.1f MiB after\n", peakBefore, usage.ru_maxrss / 1024.0);
}

} // namespace bench
