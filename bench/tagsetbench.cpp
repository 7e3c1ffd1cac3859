#include "tagsetbench.h"

#include "benchsupport.h"
#include "durable.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace bench {

namespace {

    long long sizeOf(const std::string& path)
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
    }

} // namespace

void commandLineTagSet(int repetitions)
{
    namespace stdfs = std::filesystem;
    const QTemporaryDir work;
    const stdfs::path base = work.path().toStdString();
    const std::string pristine = (base / "pristine").string();
    const std::string folder = (base / "copy").string();
    const std::string state = (base / "state").string();
    stdfs::create_directories(pristine);
    makeNamedFolder(pristine);
    const QByteArray sharedState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state.c_str());

    // The copy is synced before the clock starts, so no floor or run pays
    // for the copy's own unwritten data; the state folder goes with the
    // copy, so every run starts from an empty journal.
    const auto freshCopy = [&] {
        stdfs::copy(pristine, folder, stdfs::copy_options::recursive);
        syncFileSystemOf(base.string());
    };
    const auto restore = [&] {
        stdfs::remove_all(folder);
        stdfs::remove_all(state);
    };
    const std::vector<std::string> setAll { ZENTRIO_CLI, "tag", "set", "-r", "--album", "A new album", folder };
    const auto runSet = [&] {
        if (!runProgram(setAll))
            std::abort();
    };
    freshCopy(); // one run first, for the size of its journal record
    runSet();
    const auto journalBytes = static_cast<std::size_t>(sizeOf(state + "/zentrio/tagjournal"));
    restore();

    std::vector<std::string> paths;
    for (const std::string& name : namesIn(pristine)) {
        if (name.ends_with(".mp3"))
            paths.push_back(folder + "/" + name);
    }
    const double startMs = measure(31, [] {
        if (!runProgram({ ZENTRIO_MINIMALQT }))
            std::abort();
    });
    const double floorMs = measure(
        repetitions, [&] { tagWriteFloorOf(paths, base.string(), journalBytes, FloorSync::OneSyncfs); }, freshCopy,
        restore);
    const double fsyncEachFloorMs = measure(
        repetitions, [&] { tagWriteFloorOf(paths, base.string(), journalBytes); }, freshCopy, restore);
    const double setMs = measure(repetitions, runSet, freshCopy, restore);

    std::printf("\nzentrio-cli tag set -r on 3000 files, tags with room, a fresh copy each run (load %.2f)\n",
        loadAverage());
    reportFloor("floor: each tag region in place, one syncfs, synced journal", floorMs);
    reportFloor("(floor before: the same + an fsync of each file)", fsyncEachFloorMs);
    reportFloor("floor: start of a minimal Qt Core program", startMs);
    std::printf("journal record of one run: %.2f MiB\n", static_cast<double>(journalBytes) / (1024.0 * 1024.0));
    report("zentrio-cli tag set -r --album", setMs, floorMs + startMs, 1.5);
    report("(the same against the fsync-each floor)", setMs, fsyncEachFloorMs + startMs, 2.0);
    qputenv("XDG_STATE_HOME", sharedState);
}

} // namespace bench
