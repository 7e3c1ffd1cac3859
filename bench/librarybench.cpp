#include "librarybench.h"
#include "mixedlibrary.h"

#include "benchsupport.h"
#include "durable.h"
#include "slowmount.h"

#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <set>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace bench {

namespace {

// The library's renames by "{albumartist}/{album}/{track} - {song}" under
// `newRoot`: "Artist NNNN/Album K/TT Title I.mp3" goes to
// "Artist NNNN/Album K of Artist NNNN/TT - Title I.mp3".
struct LibraryRenames {
    std::vector<std::pair<std::string, std::string>> moves;
    std::vector<std::string> newFolders; // parents first
    std::vector<std::string> emptiedFolders; // deepest first
    std::size_t pathBytes = 0; // of the old and the new paths
};

LibraryRenames renamesOf(const std::vector<std::string>& paths, const std::string& root, const std::string& newRoot)
{
    LibraryRenames renames;
    std::set<std::string> newFolders { newRoot }, albums, artists;
    for (const std::string& path : paths) {
        const std::string relative = path.substr(root.size() + 1);
        const auto first = relative.find('/');
        const auto second = relative.find('/', first + 1);
        const std::string artist = relative.substr(0, first);
        const std::string album = relative.substr(first + 1, second - first - 1);
        const std::string name = relative.substr(second + 1);
        const std::string folder = newRoot + "/" + artist + "/" + album + " of " + artist;
        const std::string to = folder + "/" + name.substr(0, 2) + " -" + name.substr(2);
        newFolders.insert(newRoot + "/" + artist);
        newFolders.insert(folder);
        albums.insert(root + "/" + artist + "/" + album);
        artists.insert(root + "/" + artist);
        renames.pathBytes += path.size() + to.size();
        renames.moves.emplace_back(path, to);
    }
    renames.newFolders.assign(newFolders.begin(), newFolders.end()); // a parent sorts before its children
    renames.emptiedFolders.assign(albums.begin(), albums.end());
    renames.emptiedFolders.insert(renames.emptiedFolders.end(), artists.begin(), artists.end());
    return renames;
}

std::size_t depthOf(const std::string& path)
{
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

// The folders, a depth at a time (shallowest first, or deepest first).
void eachDepth(std::vector<std::string> folders, bool deepestFirst, int threads,
    const std::function<void(const std::string&)>& each)
{
    std::stable_sort(folders.begin(), folders.end(), [&](const std::string& a, const std::string& b) {
        return deepestFirst ? depthOf(a) > depthOf(b) : depthOf(a) < depthOf(b);
    });
    for (std::size_t start = 0; start < folders.size();) {
        std::size_t end = start;
        while (end < folders.size() && depthOf(folders[end]) == depthOf(folders[start]))
            ++end;
        parallelFor(end - start, threads, [&](std::size_t i) { each(folders[start + i]); });
        start = end;
    }
}

// The rename floor: the new folders made, every no-replace rename, the
// emptied folders removed, each step spread over `threads` threads.
void renameFloor(const LibraryRenames& renames, int threads)
{
    eachDepth(renames.newFolders, false, threads, [](const std::string& f) { mkdir(f.c_str(), 0755); });
    parallelFor(renames.moves.size(), threads, [&](std::size_t i) {
        renameat2(
            AT_FDCWD, renames.moves[i].first.c_str(), AT_FDCWD, renames.moves[i].second.c_str(), RENAME_NOREPLACE);
    });
    eachDepth(renames.emptiedFolders, true, threads, [](const std::string& f) { rmdir(f.c_str()); });
}

// The folders the renames leave changed that are still there, each once:
// every new folder, the one holding the new root, and the old root (which
// lost its emptied folders).
std::vector<std::string> foldersTouched(const LibraryRenames& renames, const std::string& root)
{
    std::vector<std::string> folders = renames.newFolders;
    const std::string& newRoot = folders.front(); // the shortest path sorts first
    folders.push_back(newRoot.substr(0, newRoot.rfind('/')));
    folders.push_back(root);
    return folders;
}

// The floor's renames taken back, untimed.
void renameFloorBack(const LibraryRenames& renames)
{
    eachDepth(renames.emptiedFolders, false, 16, [](const std::string& f) { mkdir(f.c_str(), 0755); });
    parallelFor(renames.moves.size(), 16,
        [&](std::size_t i) { rename(renames.moves[i].second.c_str(), renames.moves[i].first.c_str()); });
    eachDepth(renames.newFolders, true, 16, [](const std::string& f) { rmdir(f.c_str()); });
}

// The read floor: folders listed from a shared list by `threads` threads,
// each MP3 file's tag header, frame headers and wanted frame bodies read.
void libraryReadFloor(const std::string& root, int threads)
{
    std::mutex mutex;
    std::vector<std::string> folders { root };
    std::size_t busy = 0;
    const auto work = [&] {
        for (;;) {
            std::string folder;
            {
                std::unique_lock lock(mutex);
                if (folders.empty()) {
                    if (busy == 0)
                        return;
                    lock.unlock();
                    std::this_thread::yield();
                    continue;
                }
                folder = std::move(folders.back());
                folders.pop_back();
                ++busy;
            }
            std::vector<std::string> found;
            DIR* dir = opendir(folder.c_str());
            while (const dirent* e = dir ? readdir(dir) : nullptr) {
                const std::string name = e->d_name;
                if (name.front() == '.')
                    continue;
                if (e->d_type == DT_DIR)
                    found.push_back(folder + "/" + name);
                else if (name.ends_with(".mp3"))
                    readFrames(folder + "/" + name);
                else if (name.ends_with(".flac"))
                    readFlacMetadata(folder + "/" + name);
                else if (name.ends_with(".m4a"))
                    readMp4Items(folder + "/" + name);
            }
            if (dir)
                closedir(dir);
            const std::lock_guard lock(mutex);
            folders.insert(folders.end(), found.begin(), found.end());
            --busy;
        }
    };
    std::vector<std::jthread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
}

// Runs a program with its output thrown away; its peak memory in MiB, or a
// negative number when it did not exit with status 0.
double runMeasured(const std::vector<std::string>& arguments)
{
    double peakMiB = 0;
    return runProgram(arguments, &peakMiB) ? peakMiB : -1;
}

void run(const std::vector<std::string>& arguments)
{
    if (runMeasured(arguments) < 0) {
        std::fprintf(stderr, "failed: %s ...\n", arguments.at(1).c_str());
        std::abort();
    }
}

// The size of the newest run's record in the journal.
long long newestRunBytes()
{
    const std::string runs = qEnvironmentVariable("XDG_STATE_HOME").toStdString() + "/zentrio/runs";
    std::string newest;
    for (const std::string& name : namesIn(runs)) {
        if (name.ends_with(".run") && name > newest)
            newest = name;
    }
    struct stat st { };
    return stat((runs + "/" + newest).c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

// The measurements at one place: `root` holds the library, `newRoot` (on the
// same file system, not there yet) takes the renamed files.
void measureAt(const char* place, const std::string& root, const std::string& newRoot, const LibraryRenames& renames,
    int repetitions, bool cold, bool renamesToo, bool oneThread)
{
    const std::string pattern = "{albumartist}/{album}/{track} - {song}";
    const std::vector<std::string> list { ZENTRIO_CLI, "list", "-r", root };
    const std::vector<std::string> dryRun { ZENTRIO_CLI, "rename", "-r", "-n", "--to", newRoot, "-p", pattern, root };
    const std::vector<std::string> renameRun { ZENTRIO_CLI, "rename", "-r", "--to", newRoot, "-p", pattern, root };
    const std::vector<std::string> undo { ZENTRIO_CLI, "undo" };
    const auto before = [cold] {
        if (cold)
            dropCaches();
    };
    std::printf("\n%zu files in %zu folders, %s (load %.2f)\n", renames.moves.size(), renames.newFolders.size() - 1,
        place, loadAverage());
    const double readFloorMs = measure(
        repetitions, [&] { libraryReadFloor(root, 16); }, before);
    reportFloor("floor: read, 16 threads (list, tag and frame headers)", readFloorMs);
    if (oneThread)
        reportFloor("(the same, one thread)",
            measure(
                1, [&] { libraryReadFloor(root, 1); }, before));
    report("zentrio-cli list -r",
        measure(
            repetitions, [&] { run(list); }, before),
        readFloorMs, 1.5);
    report("zentrio-cli rename -r -n",
        measure(
            repetitions, [&] { run(dryRun); }, before),
        readFloorMs, 1.5);
    if (!renamesToo)
        return;
    const double renameFloorMs = measure(
        repetitions, [&] { renameFloor(renames, 16); }, {}, [&] { renameFloorBack(renames); });
    reportFloor("floor: renames, 16 threads (mkdir, renameat2, rmdir)", renameFloorMs);
    // The same renames made durable: each changed folder synced once, or
    // the file system synced once; the cheaper is the floor. Each starts
    // with nothing of the renames taken back left unwritten.
    const std::vector<std::string> touched = foldersTouched(renames, root);
    const auto settled = [&] { syncFileSystemOf(root); };
    const double folderSyncsMs = measure(
        repetitions,
        [&] {
            renameFloor(renames, 16);
            syncEach(touched, 16);
        },
        settled, [&] { renameFloorBack(renames); });
    const double syncfsMs = measure(
        repetitions,
        [&] {
            renameFloor(renames, 16);
            syncFileSystemOf(root);
        },
        settled, [&] { renameFloorBack(renames); });
    const double durableFloorMs = std::min(folderSyncsMs, syncfsMs);
    std::printf("%-52s %9.2f ms  (%zu folders)\n", "floor: the same + an fsync of each folder touched", folderSyncsMs,
        touched.size());
    reportFloor("floor: the same + one syncfs", syncfsMs);
    if (oneThread)
        reportFloor("(the same, one thread)",
            measure(
                1, [&] { renameFloor(renames, 1); }, {}, [&] { renameFloorBack(renames); }));
    std::vector<double> renameMs, undoMs;
    double peakMiB = 0;
    long long journalBytes = 0;
    for (int r = 0; r < repetitions; ++r) {
        renameMs.push_back(measure(1, [&] { peakMiB = std::max(peakMiB, runMeasured(renameRun)); }, settled));
        if (peakMiB < 0)
            std::abort();
        journalBytes = newestRunBytes();
        undoMs.push_back(measure(1, [&] { run(undo); }));
    }
    std::sort(renameMs.begin(), renameMs.end());
    std::sort(undoMs.begin(), undoMs.end());
    const double limit = std::string(place).starts_with("slow") ? 1.5 : 2.0;
    report("zentrio-cli rename -r into new folders", renameMs[renameMs.size() / 2], readFloorMs + durableFloorMs, limit);
    report("(the same against the renames without a sync)", renameMs[renameMs.size() / 2], readFloorMs + renameFloorMs,
        limit);
    report("zentrio-cli undo of that run", undoMs[undoMs.size() / 2], renameFloorMs, 1.5);
    std::printf("peak memory of rename -r: %.1f MiB (at most 300)  %s\n", peakMiB, peakMiB <= 300 ? "met" : "MISSED");
    const double journalRatio = static_cast<double>(journalBytes) / static_cast<double>(renames.pathBytes);
    std::printf("journal record: %.2f MiB = %.2f x the old and new paths' %.2f MiB (at most 2.5)  %s\n",
        journalBytes / 1048576.0, journalRatio, renames.pathBytes / 1048576.0, journalRatio <= 2.5 ? "met" : "MISSED");
}

} // namespace

void libraryBench(int files, LibraryPlaces places, int repetitions, long delayMicroseconds)
{
    QTemporaryDir work;
    const std::string source = work.path().toStdString();
    const auto started = std::chrono::steady_clock::now();
    const std::vector<std::string> paths
        = places.mixed ? makeMixedLibrary(source + "/library", files) : makeLibrary(source + "/library", files);
    std::printf("\nLibrary: %d files made in %.1f s\n", files,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    const LibraryRenames renames = renamesOf(paths, source + "/library", source + "/new");
    const bool small = files <= 10000;
    if (places.warm) {
        libraryReadFloor(source + "/library", 16); // warms the cache
        measureAt(
            "local disk, warm cache", source + "/library", source + "/new", renames, repetitions, false, true, true);
    }
    if (places.cold) {
        if (dropCaches())
            measureAt("local disk, cold cache (dropped before each repetition)", source + "/library", source + "/new",
                renames, repetitions, true, false, small);
        else
            std::printf("\nLibrary, cold cache: skipped, dropping the page cache needs root\n");
    }
#ifdef ZENTRIO_SLOWFS
    if (places.slow) {
        const std::string mount = source + "-mount";
        const SlowMount slow(source, mount, delayMicroseconds);
        if (slow.mounted()) {
            char place[96];
            std::snprintf(place, sizeof place, "slow mount (%ld us on every call)", delayMicroseconds);
            const LibraryRenames mounted = renamesOf(
                [&] {
                    std::vector<std::string> through;
                    for (const std::string& path : paths)
                        through.push_back(mount + path.substr(source.size()));
                    return through;
                }(),
                mount + "/library", mount + "/new");
            measureAt(place, mount + "/library", mount + "/new", mounted, std::min(repetitions, 3), false, true, small);
        }
    }
#else
    (void)delayMicroseconds;
    if (places.slow)
        std::printf("\nLibrary, slow mount: skipped, built without libfuse3\n");
#endif
}

void libraryQueryBench(int files, int repetitions)
{
    QTemporaryDir work;
    const std::string root = work.path().toStdString() + "/library";
    const auto started = std::chrono::steady_clock::now();
    makeLibrary(root, files);
    std::printf("\nLibrary: %d files made in %.1f s; local disk, warm cache\n", files,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    libraryReadFloor(root, 16); // warms the cache
    const std::vector<std::string> list { ZENTRIO_CLI, "list", "-r", root };
    const std::vector<std::string> query { ZENTRIO_CLI, "list", "-r", "-q", "year:1990..1999", root };
    const std::vector<std::string> count {
        ZENTRIO_CLI, "list", "-r", "--count", "-q", "artist:0042,year:..1965", root
    };
    const double listMs = measure(repetitions, [&] { run(list); });
    reportFloor("zentrio-cli list -r", listMs);
    report("zentrio-cli list -r -q 'year:1990..1999'", measure(repetitions, [&] { run(query); }), listMs, 1.1);
    report("zentrio-cli list -r --count -q 'artist:0042,year:..1965'", measure(repetitions, [&] { run(count); }),
        listMs, 1.1);
}

void bigFolderBench(int files)
{
    QTemporaryDir work;
    const std::string folder = work.path().toStdString() + "/one folder";
    mkdir(folder.c_str(), 0755);
    // makeLibrary's files, all moved into one folder.
    const std::vector<std::string> made = makeLibrary(work.path().toStdString() + "/made", files);
    for (std::size_t i = 0; i < made.size(); ++i)
        rename(made[i].c_str(), (folder + "/" + std::to_string(100000 + i) + ".mp3").c_str());
    const std::vector<std::string> pattern { "-p", "{artist} - {song}" };
    const auto timed = [](const std::vector<std::string>& arguments) {
        const auto begun = std::chrono::steady_clock::now();
        const bool ok = runMeasured(arguments) >= 0;
        return std::pair(
            ok, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun).count());
    };
    std::printf("\nOne folder of %d files\n", files);
    const auto [planned, planMs] = timed({ ZENTRIO_CLI, "rename", "-n", "-p", "{artist} - {song}", folder });
    const auto [renamed, renameMs] = timed({ ZENTRIO_CLI, "rename", "-p", "{artist} - {song}", folder });
    const auto countNames = [&](const char* prefix) {
        const std::vector<std::string> names = namesIn(folder);
        return static_cast<std::size_t>(std::count_if(
            names.begin(), names.end(), [&](const std::string& name) { return name.starts_with(prefix); }));
    };
    const std::size_t renamedFiles = countNames("Artist ");
    const auto [undone, undoMs] = timed({ ZENTRIO_CLI, "undo" });
    const std::size_t back = countNames("1");
    std::printf("rename -n %9.2f ms  %s\n", planMs, planned ? "ok" : "FAILED");
    std::printf("rename    %9.2f ms  %zu of %d renamed  %s\n", renameMs, renamedFiles, files,
        renamed && renamedFiles == std::size_t(files) ? "ok" : "FAILED");
    std::printf("undo      %9.2f ms  %zu of %d back  %s\n", undoMs, back, files,
        undone && back == std::size_t(files) ? "ok" : "FAILED");
}

} // namespace bench
