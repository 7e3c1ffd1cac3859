#include "mixedlibrary.h"

#include "benchsupport.h"
#include "testsupport/formatfixture.h"
#include "testsupport/mp3fixture.h"

#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/mp4file.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

namespace {

    std::uint32_t be32(const unsigned char* b) { return (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]; }

    void addCover(const std::string& path, bool flac)
    {
        const TagLib::ByteVector cover(100 * 1024, '\x5A');
        if (flac) {
            TagLib::FLAC::File file(path.c_str(), false);
            auto* picture = new TagLib::FLAC::Picture;
            picture->setMimeType("image/jpeg");
            picture->setData(cover);
            file.addPicture(picture);
            file.save();
        } else {
            TagLib::MP4::File file(path.c_str(), false);
            TagLib::MP4::CoverArtList covers;
            covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG, cover));
            file.tag()->setItem("covr", covers);
            file.save();
        }
    }

} // namespace

std::vector<std::string> makeMixedLibrary(const std::string& root, int files)
{
    std::vector<std::string> paths = makeLibrary(root, files);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const int place = static_cast<int>(i % kLibraryAlbumFiles);
        if (place < 12)
            continue;
        const bool flac = place < 17;
        const std::string mp3 = paths[i];
        const std::string path = mp3.substr(0, mp3.size() - 4) + (flac ? ".flac" : ".m4a");
        const std::string folder = path.substr(0, path.rfind('/'));
        const std::string name = path.substr(path.rfind('/') + 1);
        const int album = static_cast<int>(i) / kLibraryAlbumFiles;
        const std::string artistFolder = folder.substr(0, folder.rfind('/'));
        const std::string artist = artistFolder.substr(artistFolder.rfind('/') + 1);
        testsupport::writeFile(folder, name, testsupport::untaggedFile(flac ? "flac" : "m4a", 2048));
        testsupport::tagFile(path,
            { { "TITLE", { "Title " + std::to_string(i) } }, { "ARTIST", { artist } },
                { "ALBUM", { folder.substr(folder.rfind('/') + 1) + " of " + artist } }, { "ALBUMARTIST", { artist } },
                { "TRACKNUMBER", { std::to_string(place + 1) + "/" + std::to_string(kLibraryAlbumFiles) } },
                { "DATE", { std::to_string(1960 + album % 60) } } });
        if (i % 10 == 0)
            addCover(path, flac);
        ::unlink(mp3.c_str());
        paths[i] = path;
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void readFlacMetadata(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    unsigned char header[4];
    off_t at = 4;
    std::string comment;
    while (::pread(fd, header, 4, at) == 4) {
        const std::size_t length = (std::size_t(header[1]) << 16) | (std::size_t(header[2]) << 8) | header[3];
        if ((header[0] & 0x7F) == 4) {
            comment.resize(length);
            (void)::pread(fd, comment.data(), length, at + 4);
        }
        at += 4 + static_cast<off_t>(length);
        if (header[0] & 0x80)
            break;
    }
    ::close(fd);
}

void readMp4Items(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st { };
    ::fstat(fd, &st);
    const char* const route[] = { "moov", "udta", "meta", "ilst" };
    off_t at = 0;
    off_t end = st.st_size;
    for (std::size_t step = 0; step < 4 && at + 8 <= end;) {
        unsigned char header[8];
        if (::pread(fd, header, 8, at) != 8)
            break;
        const off_t size = be32(header);
        if (size < 8)
            break;
        if (std::equal(header + 4, header + 8, route[step])) {
            end = at + size;
            at += step == 2 ? 12 : 8; // meta has a version before its children
            if (++step == 4) {
                std::string items(static_cast<std::size_t>(end - at), '\0');
                (void)::pread(fd, items.data(), items.size(), at);
            }
        } else {
            at += size;
        }
    }
    ::close(fd);
}

} // namespace bench
