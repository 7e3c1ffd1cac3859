#include "syncbench.h"

#include "benchsupport.h"
#include "durable.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace bench {

namespace {

    enum class Way { NoSync, FsyncEach, WriteBackThenFdatasync, WriteBackThenFsync, OneSyncfs };

    const char* nameOf(Way way)
    {
        switch (way) {
        case Way::NoSync:
            return "writes alone, no sync (not durable)";
        case Way::FsyncEach:
            return "an fsync of each file";
        case Way::WriteBackThenFdatasync:
            return "write-back started for all, fdatasync each";
        case Way::WriteBackThenFsync:
            return "write-back started for all, fsync each";
        case Way::OneSyncfs:
            return "one syncfs";
        }
        return "";
    }

    constexpr std::size_t kRegionBytes = 1024; // a small tag, rewritten in place

    std::vector<std::string> makeSmallFiles(const std::string& folder)
    {
        const std::string content(17 * 1024, '\xFF');
        std::vector<std::string> paths;
        for (int i = 0; i < kFiles; ++i) {
            paths.push_back(folder + "/" + fileName(i, "small"));
            FILE* f = std::fopen(paths.back().c_str(), "wb");
            if (!f || std::fwrite(content.data(), 1, content.size(), f) != content.size() || std::fclose(f) != 0)
                std::abort();
        }
        return paths;
    }

    void check(bool done, const char* call)
    {
        if (!done) {
            std::perror(call);
            std::abort();
        }
    }

    // Each file's first KiB written over in place, made durable by `way`.
    void durableWrites(const std::vector<std::string>& paths, Way way, char fill)
    {
        const std::string region(kRegionBytes, fill);
        std::vector<int> fds;
        fds.reserve(paths.size());
        for (const std::string& path : paths) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            check(fd >= 0, "open");
            check(::pwrite(fd, region.data(), region.size(), 0) == static_cast<ssize_t>(region.size()), "pwrite");
            if (way == Way::FsyncEach)
                check(::fsync(fd) == 0, "fsync");
            if (way == Way::WriteBackThenFdatasync || way == Way::WriteBackThenFsync)
                check(::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE) == 0, "sync_file_range");
            fds.push_back(fd);
        }
        for (const int fd : fds) {
            if (way == Way::WriteBackThenFdatasync)
                check(::fdatasync(fd) == 0, "fdatasync");
            if (way == Way::WriteBackThenFsync)
                check(::fsync(fd) == 0, "fsync");
        }
        if (way == Way::OneSyncfs)
            check(::syncfs(fds.front()) == 0, "syncfs");
        for (const int fd : fds)
            ::close(fd);
    }

    // Another program writing `mib` MiB into a file of `folder` and leaving
    // it unwritten to the disk, as a download or a copy beside us would.
    void otherProgramWrites(const std::string& folder, int mib)
    {
        if (mib > 0
            && !runProgram({ "/usr/bin/dd", "if=/dev/zero", "of=" + folder + "/other", "bs=1M",
                "count=" + std::to_string(mib), "status=none" }))
            std::abort();
    }

    struct Place {
        const char* name;
        std::string folder; // holds the 3000 files
        std::string other; // where the other program writes, on the same file system
    };

    // The median of `way` at `place`, the other program's `mib` MiB written
    // just before each repetition (untimed) and removed after it.
    double timeWay(const Place& place, const std::vector<std::string>& paths, Way way, int mib, int repetitions)
    {
        char fill = 'a';
        const double ms = measure(
            repetitions, [&] { durableWrites(paths, way, fill++); },
            [&] {
                syncFileSystemOf(place.folder);
                otherProgramWrites(place.other, mib);
            },
            [&] { ::unlink((place.other + "/other").c_str()); });
        std::printf("%-52s %9.2f ms  (load %.2f)\n", nameOf(way), ms, loadAverage());
        return ms;
    }

    // Where a syncfs behind `mib` MiB of other data first costs more than
    // the per-file syncs, by the straight line between measured sizes.
    void reportThreshold(const char* against, const std::map<int, double>& syncfs, const std::map<int, double>& each)
    {
        for (auto at = syncfs.begin(), next = std::next(at); next != syncfs.end(); at = next++) {
            const double below = at->second - each.at(at->first);
            const double above = next->second - each.at(next->first);
            if (below < 0 && above >= 0) {
                const double mib = at->first + (next->first - at->first) * (-below) / (above - below);
                std::printf("one syncfs costs more than %s from about %.0f MiB of other programs' unwritten data\n",
                    against, mib);
                return;
            }
        }
        std::printf("one syncfs against %s: no crossing within the sizes measured\n", against);
    }

    void measurePlace(const Place& place, const std::vector<int>& otherMiB, int repetitions)
    {
        const std::vector<std::string> paths = makeSmallFiles(place.folder);
        std::printf("\n%s: 3000 files of 17 KiB, 1 KiB written in place in each, median of %d\n", place.name,
            repetitions);
        std::map<Way, double> alone;
        for (const Way way :
            { Way::NoSync, Way::FsyncEach, Way::WriteBackThenFdatasync, Way::WriteBackThenFsync, Way::OneSyncfs })
            alone[way] = timeWay(place, paths, way, 0, repetitions);
        std::map<int, double> syncfs { { 0, alone[Way::OneSyncfs] } };
        std::map<int, double> fsyncEach { { 0, alone[Way::FsyncEach] } };
        std::map<int, double> writeBackFsync { { 0, alone[Way::WriteBackThenFsync] } };
        for (const int mib : otherMiB) {
            std::printf("just after another program wrote %d MiB without a sync:\n", mib);
            const int reps = std::min(repetitions, 3);
            syncfs[mib] = timeWay(place, paths, Way::OneSyncfs, mib, reps);
            fsyncEach[mib] = timeWay(place, paths, Way::FsyncEach, mib, reps);
            writeBackFsync[mib] = timeWay(place, paths, Way::WriteBackThenFsync, mib, reps);
        }
        if (otherMiB.size() > 1) {
            reportThreshold("an fsync of each file", syncfs, fsyncEach);
            reportThreshold("write-back started + an fsync of each", syncfs, writeBackFsync);
        }
    }

} // namespace

void syncChoicesBench(int repetitions)
{
    QTemporaryDir disk;
    QDir(disk.path()).mkpath("batch");
    QDir(disk.path()).mkpath("other");
    measurePlace({ "Local disk", disk.path().toStdString() + "/batch", disk.path().toStdString() + "/other" },
        { 64, 256, 512, 1024, 2048 }, repetitions);
    QTemporaryDir shm("/dev/shm/zentrio-bench-XXXXXX");
    if (!shm.isValid()) {
        std::printf("\ntmpfs: skipped, /dev/shm is not writable\n");
        return;
    }
    QDir(shm.path()).mkpath("batch");
    QDir(shm.path()).mkpath("other");
    measurePlace({ "tmpfs (/dev/shm)", shm.path().toStdString() + "/batch", shm.path().toStdString() + "/other" },
        { 256 }, repetitions);
}

} // namespace bench
