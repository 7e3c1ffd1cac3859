#include "dupesbench.h"

#include "benchsupport.h"

#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace bench {

namespace {

    struct Span {
        std::string path;
        off_t begin = 0;
        off_t end = 0;
    };

    // A small ID3v2.3 tag: a title frame and 256 bytes of padding.
    std::string id3v2Tag(const std::string& title)
    {
        const std::string text = std::string(1, '\0') + title;
        std::string frame = "TIT2";
        for (const int shift : { 24, 16, 8, 0 })
            frame += char((text.size() >> shift) & 0xFF);
        frame += std::string(2, '\0') + text;
        const std::size_t size = frame.size() + 256;
        std::string tag = std::string("ID3\x03\0\0", 6);
        for (const int shift : { 21, 14, 7, 0 })
            tag += char((size >> shift) & 0x7F);
        return tag + frame + std::string(256, '\0');
    }

    // Audio-like bytes of file `seed`: no ASCII at all, so no trailer is seen in them.
    std::string audioOf(std::uint64_t seed, std::size_t length)
    {
        std::string bytes(length, '\0');
        std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
        for (char& c : bytes) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            c = static_cast<char>(0x80 | (x & 0x7F));
        }
        return bytes;
    }

    // Folders of 20 files; file i holds 4096 + i bytes of audio of its own,
    // but every 20th is a copy of the audio of the file 7 before it under
    // another tag, and every 100th has the length of the one before it
    // with other audio. Every third file ends in an ID3v1 record. Returns
    // the spans of the files of a shared length: the floor's full reads.
    std::vector<Span> makeDupesLibrary(const std::string& root, int files)
    {
        std::map<std::size_t, std::vector<Span>> byLength;
        std::vector<std::size_t> lengths;
        ::mkdir(root.c_str(), 0755);
        for (int i = 0; i < files; ++i) {
            const std::string folder = root + "/Folder " + std::to_string(i / 20);
            if (i % 20 == 0)
                ::mkdir(folder.c_str(), 0755);
            const bool copy = i % 20 == 19;
            const bool sameLength = i % 100 == 50;
            const std::size_t length = copy ? lengths[std::size_t(i - 7)] : sameLength ? lengths.back() : 4096 + i;
            lengths.push_back(length);
            const std::string tag = id3v2Tag((copy ? "A copy of " : "Title ") + std::to_string(i));
            std::string bytes = tag + audioOf(std::uint64_t(copy ? i - 7 : i), length);
            if (i % 3 == 0)
                bytes += "TAG" + std::string(125, ' ');
            const std::string path = folder + "/" + std::to_string(i % 20 + 1) + " Title " + std::to_string(i) + ".mp3";
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f)
                continue;
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
            byLength[length].push_back({ path, off_t(tag.size()), off_t(tag.size() + length) });
        }
        std::vector<Span> shared;
        for (auto& [length, spans] : byLength) {
            if (spans.size() > 1)
                shared.insert(shared.end(), spans.begin(), spans.end());
        }
        return shared;
    }

    // The floor: the folders listed and each file's first and last 4 KiB
    // read, then the shared lengths' audio read once in 1 MiB blocks.
    void dupesFloor(const std::string& root, const std::vector<Span>& shared, int threads)
    {
        std::vector<std::string> folders = namesIn(root);
        parallelFor(folders.size(), threads, [&](std::size_t f) {
            const std::string folder = root + "/" + folders[f];
            char block[4096];
            for (const std::string& name : namesIn(folder)) {
                const int fd = ::open((folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
                struct stat st { };
                if (fd < 0 || ::fstat(fd, &st) != 0)
                    continue;
                (void)::pread(fd, block, sizeof block, 0);
                (void)::pread(fd, block, sizeof block, std::max<off_t>(0, st.st_size - off_t(sizeof block)));
                ::close(fd);
            }
        });
        parallelFor(shared.size(), threads, [&](std::size_t s) {
            thread_local std::unique_ptr<char[]> buffer(new char[1 << 20]);
            const int fd = ::open(shared[s].path.c_str(), O_RDONLY | O_CLOEXEC);
            for (off_t at = shared[s].begin; fd >= 0 && at < shared[s].end; at += 1 << 20)
                (void)::pread(fd, buffer.get(), std::size_t(std::min<off_t>(1 << 20, shared[s].end - at)), at);
            if (fd >= 0)
                ::close(fd);
        });
    }

} // namespace

void dupesBench(int files, int repetitions)
{
    QTemporaryDir work;
    const std::string root = work.path().toStdString() + "/library";
    const std::vector<Span> shared = makeDupesLibrary(root, files);
    std::printf("\nDupes: %d files in %d folders, %zu of a shared audio length\n", files, (files + 19) / 20,
        shared.size());
    const std::vector<std::string> dupes { ZENTRIO_CLI, "dupes", "-r", root };
    for (const bool cold : { false, true }) {
        if (cold && !dropCaches()) {
            std::printf("cold cache: skipped, dropping the page cache needs root\n");
            break;
        }
        const auto before = [cold] {
            if (cold)
                dropCaches();
        };
        std::printf(
            "%s\n", cold ? "local disk, cold cache (dropped before each repetition)" : "local disk, warm cache");
        dupesFloor(root, shared, 16); // warms the cache
        const double floorMs = measure(repetitions, [&] { dupesFloor(root, shared, 16); }, before);
        reportFloor("floor: 16 threads (list, 4 KiB at each end, shared audio)", floorMs);
        report("zentrio-cli dupes -r",
            measure(
                repetitions,
                [&] {
                    if (!runProgram(dupes))
                        std::printf("zentrio-cli dupes failed\n");
                },
                before),
            floorMs, 1.5);
    }
}

} // namespace bench
