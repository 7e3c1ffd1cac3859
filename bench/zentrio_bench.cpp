// Measures the scan, the rename run and the preview on 3000 tagged files
// against floors of plain POSIX calls doing the same I/O, in one run: on the
// local disk with a warm cache, on a slow FUSE mount (a pass-through of our
// own that waits on every call), and on the local disk with a cold cache.
// Prints each median, the ratios to the floors, and the peak memory.
//
//   QT_QPA_PLATFORM=offscreen build/bench/zentrio_bench [repetitions] [delay_us]

#include "benchsupport.h"
#include "durable.h"
#include "mixedlibrary.h"
#include "growbench.h"
#include "dupesbench.h"
#include "librarybench.h"
#include "syncbench.h"
#include "tagsetbench.h"
#include "slowmount.h"

#include "app/form1.h"
#include "platform/filelauncher.h"
#include "platform/registry.h"
#include "platform/settings/settingsstore.h"
#include "platform/windowmessaging.h"
#include "rename/history/journalfolder.h"
#include "rename/folderrun/renamerun.h"
#include "rename/folderrun/runplan.h"
#include "rename/runpreview.h"
#include "tags/read/folderscan.h"
#include "rename/naming/pattern.h"
#include "tags/journal/tagjournal.h"
#include "tags/write/tagsave.h"
#include "tags/write/tagwrite.h"

#include <map>
#include <sys/stat.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <unistd.h>

using namespace zentrio;
using namespace bench;

namespace {

constexpr int kReadThreads = 16; // the parallel floors' readers

// A real main window on a folder, with the desktop services it needs.
class Window {
public:
    // `ownPattern`, when not empty, is the active own naming pattern.
    Window(const std::string& folder, const QString& configFolder, const QByteArray& ownPattern = {},
        bool id3v2 = false)
        : m_settings(configFolder)
    {
        m_settings.write("zentrio", "config", "id3v2", id3v2 ? " 1" : " 0");
        m_settings.write("zentrio", "config", "Drive", "/");
        m_settings.write("zentrio", "config", "Path", QByteArray::fromStdString(folder));
        m_settings.write("zentrio", "config", "o1", " 0");
        m_settings.write("zentrio", "config", "pattern", ownPattern);
        m_settings.write("zentrio", "config", "ownpattern", ownPattern.isEmpty() ? " 0" : " 1");
        m_form = std::make_unique<Form1>(Form1Services { m_settings, m_launcher, m_messaging, m_registry });
        m_form->load();
        m_form->show();
        QApplication::processEvents();
    }
    Form1& form() { return *m_form; }

    void scan()
    {
        m_form->frissites(1);
        QApplication::processEvents();
    }
    // "select all", then "selected"; the run must rename every file.
    void renameAllChecked()
    {
        m_form->selectall->trigger();
        m_form->selected->trigger();
        QApplication::processEvents();
        if (m_form->Label11->text() != m_form->texts().message("msg1"))
            std::abort();
    }
    void preview()
    {
        m_form->selectall->trigger();
        m_form->preview->trigger();
        QApplication::processEvents();
        if (!m_form->runPreview())
            std::abort();
        m_form->runPreview()->close();
        QApplication::processEvents();
    }

private:
    IniSettingsStore m_settings;
    DesktopFileLauncher m_launcher;
    MprisWindowMessaging m_messaging;
    DesktopRegistry m_registry;
    std::unique_ptr<Form1> m_form;
};

void warmLocal(int repetitions, const QString& config)
{
    QTemporaryDir music;
    const std::string folder = music.path().toStdString();
    makeFolder(folder);

    const double scanFloorMs = measure(repetitions, [&] { scanFloor(folder); });
    const double scanMs = measure(repetitions, [&] {
        if (scanFolder(folder).rows.size() != size_t(kFiles))
            std::abort();
    });
    const double renameFloorMs = measure(
        repetitions, [&] { renameAll(folder, "track", "moved"); }, {}, [&] { renameAll(folder, "moved", "track"); });
    const auto settled = [&] { syncFileSystemOf(folder); };
    const double durableRenameFloorMs = measure(
        repetitions,
        [&] {
            renameAll(folder, "track", "moved");
            syncPath(folder);
        },
        settled, [&] { renameAll(folder, "moved", "track"); });

    NameOptions options;
    options.numbered = false;
    std::vector<RunItem> items;
    for (int i = 0; i < kFiles; ++i)
        items.push_back({ true, fileName(i, "track") });
    const RunHistory history = RunHistory::standard();
    const auto record = [&](const std::vector<PlannedRename>& renames) { recordFolderRun(history, folder, renames); };
    const double runMs = measure(
        repetitions,
        [&] {
            if (runRename(folder, items, options, {}, TagSource::Id3v1, record).renamed != kFiles)
                std::abort();
        },
        {}, [&] { renameBack(folder); });

    Window window(folder, config);
    const double windowScanMs = measure(repetitions, [&] { window.scan(); });
    const double windowRunMs = measure(
        repetitions, [&] { window.renameAllChecked(); }, settled, [&] {
            renameBack(folder);
            window.form().frissites(0);
        });
    const double previewMs = measure(repetitions, [&] { window.preview(); });

    QTemporaryDir tagged;
    const std::string taggedFolder = tagged.path().toStdString();
    makeId3v2Folder(taggedFolder);
    const double id3v2FloorMs = measure(repetitions, [&] { id3v2ScanFloor(taggedFolder); });
    const double id3v2ScanMs = measure(repetitions, [&] {
        const FolderScan scan = scanFolder(taggedFolder, TagSource::Id3v2First);
        if (scan.rows.size() != size_t(kFiles) || scan.rows.back().tag.album != "An album")
            std::abort();
    });

    std::printf("\nLocal disk, warm cache (load %.2f)\n", loadAverage());
    reportFloor("floor: scan (list, open, read 256, close)", scanFloorMs);
    reportFloor("floor: rename (3000 no-replace renames)", renameFloorMs);
    reportFloor("floor: the same renames + an fsync of the folder", durableRenameFloorMs);
    report("scan without widgets", scanMs, scanFloorMs, 1.3);
    report("window scan, frissites(1), list filled", windowScanMs, scanFloorMs, 2.0);
    report("rename run with journal, without widgets", runMs, scanFloorMs + renameFloorMs, 1.3);
    report("window \"selected\" with rescan and playlist", windowRunMs, 2 * scanFloorMs + durableRenameFloorMs, 1.5);
    report("(the same against the renames without a sync)", windowRunMs, 2 * scanFloorMs + renameFloorMs, 1.5);
    report("window \"preview\" of 3000 checked rows", previewMs, scanFloorMs, 2.0);
    reportFloor("floor: ID3v2 scan (+ 10 bytes, tag bytes)", id3v2FloorMs);
    report("ID3v2 scan without widgets, switch on", id3v2ScanMs, id3v2FloorMs, 2.0);
}

// Composing 3000 names by an own pattern against the designed "artist -
// album - song", on ID3v2 tags already read; and the window's "selected"
// with an own pattern active.
void ownPattern(int repetitions, const QString& config)
{
    QTemporaryDir tagged;
    const std::string taggedFolder = tagged.path().toStdString();
    makeId3v2Folder(taggedFolder);
    const FolderScan scan = scanFolder(taggedFolder, TagSource::Id3v2First);
    std::vector<const TagFields*> tags;
    for (const ScanRow& row : scan.rows)
        tags.push_back(&row.tag);
    constexpr int kRounds = 20; // each measured call composes the 3000 names this often
    const auto composeAll = [&](const NameOptions& options) {
        for (int round = 0; round < kRounds; ++round) {
            const NameOptions forRun = withRunWidths(options, tags);
            for (std::size_t i = 0; i < tags.size(); ++i) {
                if (composeNewName(*tags[i], forRun, static_cast<int>(i) + 1).isEmpty())
                    std::abort();
            }
        }
    };
    NameOptions designed;
    designed.pattern = Pattern::ArtistAlbumSong;
    NameOptions own = designed;
    own.pattern = Pattern::Own;
    own.own = std::make_shared<const ParsedPattern>(parsePattern("[{disc}-]{track} - {artist} - {song}"));
    const double designedMs = measure(repetitions, [&] { composeAll(designed); }) / kRounds;
    const double ownMs = measure(repetitions, [&] { composeAll(own); }) / kRounds;

    QTemporaryDir music;
    const std::string folder = music.path().toStdString();
    makeFolder(folder);
    const double scanFloorMs = measure(repetitions, [&] { scanFloor(folder); });
    const double renameFloorMs = measure(
        repetitions, [&] { renameAll(folder, "track", "moved"); }, {}, [&] { renameAll(folder, "moved", "track"); });
    // A journal of its own: the sections before filled the shared one with
    // twenty 3000-file runs, which every further run compacts.
    const QByteArray sharedState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", (config + "/own-state").toUtf8());
    Window window(folder, config + "/own", "[{disc}-][{track} - ]{song}");
    const double windowRunMs = measure(
        repetitions, [&] { window.renameAllChecked(); }, {}, [&] {
            renameBack(folder);
            window.form().frissites(0);
        });

    qputenv("XDG_STATE_HOME", sharedState);
    std::printf("\nOwn naming pattern, local disk, warm cache\n");
    reportFloor("compose 3000 names, \"artist - album - song\"", designedMs);
    report("compose 3000 names, [{disc}-]{track} - {artist} - {song}", ownMs, designedMs, 1.2);
    report("window \"selected\" with an own pattern", windowRunMs, 2 * scanFloorMs + renameFloorMs, 1.5);
}

void slowMount(int repetitions, long delayMicroseconds, const QString& config)
{
#ifdef ZENTRIO_SLOWFS
    QTemporaryDir work;
    const std::string source = work.path().toStdString() + "/source";
    const std::string mount = work.path().toStdString() + "/mount";
    QDir().mkpath(QString::fromStdString(source));
    makeFolder(source);
    const SlowMount slow(source, mount, delayMicroseconds);
    if (!slow.mounted())
        return;
    const double floorMs = measure(repetitions, [&] { scanFloor(mount, kReadThreads); });
    const double serialFloorMs = measure(repetitions, [&] { scanFloor(mount); });
    // How the floor falls with more readers: the reason for the pool's size.
    std::vector<std::pair<int, double>> byThreads;
    for (int threads : { 2, 4, 8, 16, 32, 64 })
        byThreads.emplace_back(threads, measure(1, [&] { scanFloor(mount, threads); }));
    const double renameFloorMs = measure(
        repetitions, [&] { renameAll(mount, "track", "moved"); }, {}, [&] { renameAll(mount, "moved", "track"); });
    double windowScanMs = 0;
    double windowRunMs = 0;
    {
        Window window(mount, config);
        windowScanMs = measure(repetitions, [&] { window.scan(); });
        windowRunMs = measure(
            repetitions, [&] { window.renameAllChecked(); }, {}, [&] {
                renameBack(mount);
                window.form().frissites(0);
            });
        window.form().close();
    }

    std::printf("\nSlow mount: FUSE pass-through, %ld us on every call, kernel caches off\n", delayMicroseconds);
    reportFloor("floor: scan, 16 parallel readers", floorMs);
    reportFloor("(the same scan, one reader)", serialFloorMs);
    reportFloor("floor: rename, one at a time", renameFloorMs);
    std::printf("(scan floor by readers:");
    for (const auto& [threads, ms] : byThreads)
        std::printf(" %d: %.0f ms;", threads, ms);
    std::printf(")\n");
    report("window scan, frissites(1), list filled", windowScanMs, floorMs, 1.5);
    report("window \"selected\" with rescan and playlist", windowRunMs, 2 * floorMs + renameFloorMs, 1.5);
#else
    (void)repetitions;
    (void)delayMicroseconds;
    (void)config;
    std::printf("\nSlow mount: skipped, built without libfuse3\n");
#endif
}

void coldLocal(int repetitions)
{
    if (!dropCaches()) {
        std::printf("\nCold cache: skipped, dropping the page cache needs root\n");
        return;
    }
    QTemporaryDir music;
    const std::string folder = music.path().toStdString();
    makeFolder(folder);
    const auto cold = [] { dropCaches(); };
    const double floorMs = measure(repetitions, [&] { scanFloor(folder, kReadThreads); }, cold);
    const double serialFloorMs = measure(repetitions, [&] { scanFloor(folder); }, cold);
    const double scanMs = measure(repetitions, [&] { scanFolder(folder); }, cold);
    std::printf("\nLocal disk, cold cache (dropped before each repetition)\n");
    reportFloor("floor: scan, 16 parallel readers", floorMs);
    reportFloor("(the same scan, one reader)", serialFloorMs);
    report("scan without widgets", scanMs, floorMs, 1.3);
}

ino_t statOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

// The peak memory of this process since the last call, in MiB (the kernel's
// high-water mark is reset each time).
double peakMemorySinceLastCall()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    double peak = 0;
    while (status >> key) {
        if (key == "VmHWM:") {
            status >> peak;
            break;
        }
    }
    std::ofstream("/proc/self/clear_refs") << "5";
    return peak / 1024.0;
}

long long fileSize(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

// "from file name" on 3000 checked files with the switch on, tags with room:
// the names matched, then every tag written with its journal record. Each
// repetition is undone untimed, so every one writes the same changes. With
// covers: the peak memory of the batch and the journal's growth too.
void tagsFromNames(int repetitions, std::size_t coverBytes = 0, bool pictureFirst = false)
{
    QTemporaryDir work;
    const std::string folder = work.path().toStdString() + "/named";
    QDir().mkpath(QString::fromStdString(folder));
    makeNamedFolder(folder, coverBytes, pictureFirst);
    std::vector<std::string> names;
    for (const std::string& name : namesIn(folder)) {
        if (name.size() > 4 && name.ends_with(".mp3"))
            names.push_back(name);
    }
    std::map<std::string, ino_t> inodes;
    for (const std::string& name : names)
        inodes[name] = statOf(folder + "/" + name);
    const ParsedPattern parsed = parsePattern("{track} - {artist} - {song}", PatternUse::Matching);
    const std::string journalPath = work.path().toStdString() + "/tagjournal";
    const TagJournal journal(journalPath);
    const auto apply = [&] {
        std::vector<std::pair<std::string, TagValues>> files;
        for (const std::string& name : names) {
            const auto fields = matchPattern(parsed.parts, QString::fromStdString(name).chopped(4));
            if (!fields)
                std::abort();
            TagValues values;
            for (const auto& [field, value] : *fields)
                values[field == PatternField::Track ? TagField::Track : field == PatternField::Artist ? TagField::Artist : TagField::Song] = value;
            files.emplace_back(folder + "/" + name, values);
        }
        if (writeTagBatch(files, TagSource::Id3v2First, 2026, journal).written != kFiles)
            std::abort();
    };
    const auto undo = [&] {
        const auto undone = journal.undoNewest();
        if (!undone || undone->restored != kFiles)
            std::abort();
    };
    // One batch first: its journal record and peak memory.
    peakMemorySinceLastCall();
    const long long journalBefore = fileSize(journalPath);
    apply();
    const double peakMiB = peakMemorySinceLastCall();
    const long long journalBytes = fileSize(journalPath) - journalBefore;
    undo();
    // Each repetition starts with nothing of an earlier one left unwritten.
    const auto settled = [&] { syncFileSystemOf(folder); };
    const double floorMs = measure(repetitions,
        [&] { tagWriteFloor(folder, static_cast<std::size_t>(journalBytes), FloorSync::OneSyncfs); }, settled);
    const double fsyncEachFloorMs
        = measure(repetitions, [&] { tagWriteFloor(folder, static_cast<std::size_t>(journalBytes)); }, settled);
    const double applyMs = measure(repetitions, apply, settled, undo);
    int moved = 0;
    for (const std::string& name : names)
        moved += statOf(folder + "/" + name) != inodes[name];
    if (coverBytes == 0)
        std::printf("\nTags from file names, 3000 files, switch on, tags with room (load %.2f)\n", loadAverage());
    else
        std::printf("\nTags from file names, 3000 files with %zu KiB covers %s the text frames, switch on\n",
            coverBytes / 1024, pictureFirst ? "before" : "after");
    reportFloor("floor: each tag region in place, one syncfs, synced journal", floorMs);
    reportFloor("(floor before: the same + an fsync of each file)", fsyncEachFloorMs);
    report("\"from file name\": match, journal, write 3000 tags", applyMs, floorMs, 1.5);
    report("(the same against the fsync-each floor)", applyMs, fsyncEachFloorMs, 2.0);
    std::printf("files whose audio was rewritten (a new inode): %d\n", moved);
    const double coverMiB = static_cast<double>(coverBytes) * kFiles / (1024.0 * 1024.0);
    std::printf("journal record: %.2f MiB", static_cast<double>(journalBytes) / (1024.0 * 1024.0));
    if (coverBytes > 0)
        std::printf(" = %.2f %% of the covers' %.0f MiB (at most 5 %%)  %s", 100.0 * journalBytes / (coverMiB * 1024 * 1024),
            coverMiB, journalBytes <= 0.05 * coverMiB * 1024 * 1024 ? "met" : "MISSED");
    std::printf("\npeak memory of one batch: %.1f MiB%s\n", peakMiB,
        coverBytes > 0 ? (peakMiB <= 200 ? " (at most 200)  met" : " (at most 200)  MISSED") : "");
}

// Bytes this process has handed to write calls so far.
long long bytesWritten()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "wchar:")
            return value;
    }
    return -1;
}

// A save of new title, artist and album into a 10 MiB file whose tag has
// room: the bytes it writes, against the tag region and its copy.
void inPlaceSave(const std::string& folder)
{
    TagLib::ID3v2::Tag tag;
    tag.setTitle("Title");
    tag.setArtist("Artist");
    tag.setAlbum("Album");
    auto* cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setPicture(TagLib::ByteVector(100 * 1024, '\x5A'));
    tag.addFrame(cover);
    const TagLib::ByteVector header = tag.render(TagLib::ID3v2::v3);
    const std::string path = folder + "/big.mp3";
    std::string content(header.data(), header.size());
    content += std::string(10 * 1024 * 1024, '\xFF');
    {
        std::ofstream out(path, std::ios::binary);
        out << content;
    }
    const long long before = bytesWritten();
    if (!saveTag(path, { "A new title", "A new artist", "A new album" }, 2026, TagSource::Id3v2First))
        std::abort();
    const long long written = bytesWritten() - before;
    std::printf("save into a 10 MiB file: %lld bytes written; tag region %u bytes, region + its copy %u bytes "
                "(+ the 128-byte ID3v1 record and its copy)  %s\n",
        written, header.size(), 2 * header.size(),
        written <= static_cast<long long>(2 * header.size() + 2 * 128 + 1024) ? "met" : "MISSED");
}

// 3000 files with a 300 KiB cover each, before and after the text frames:
// the ID3v2 scan against a floor that reads the header, the frame headers
// and only the frames a name needs, with 16 readers; warm, cold, and on the
// slow mount.
void id3v2Covers(int repetitions, long delayMicroseconds, const QString& config)
{
    std::printf("\nID3v2 with 300 KiB covers (switch on), floor: 16 readers walking the frame headers\n");
    for (const bool pictureFirst : { true, false }) {
        QTemporaryDir work;
        const std::string folder = work.path().toStdString() + "/covers";
        QDir().mkpath(QString::fromStdString(folder));
        makePictureFolder(folder, pictureFirst);
        const auto scan = [](const std::string& at) {
            const FolderScan scanned = scanFolder(at, TagSource::Id3v2First);
            if (scanned.rows.size() != size_t(kFiles) || scanned.rows.back().tag.album != "An album")
                std::abort();
        };
        std::printf("%s\n", pictureFirst ? "cover before the text frames" : "cover after the text frames");
        const double floorMs = measure(repetitions, [&] { frameWalkFloor(folder, kReadThreads); });
        reportFloor("floor: warm", floorMs);
        report("scan without widgets, warm", measure(repetitions, [&] { scan(folder); }), floorMs, 1.5);
        {
            Window window(folder, config + (pictureFirst ? "/first" : "/last"), {}, true);
            report("window scan, frissites(1), warm", measure(repetitions, [&] { window.scan(); }), floorMs, 1.5);
            window.form().close();
        }
        if (dropCaches()) {
            const auto cold = [] { dropCaches(); };
            const double coldFloorMs = measure(repetitions, [&] { frameWalkFloor(folder, kReadThreads); }, cold);
            reportFloor("floor: cold", coldFloorMs);
            report("scan without widgets, cold", measure(repetitions, [&] { scan(folder); }, cold), coldFloorMs, 1.5);
        }
#ifdef ZENTRIO_SLOWFS
        const std::string mount = work.path().toStdString() + "/mount";
        const SlowMount slow(folder, mount, delayMicroseconds);
        if (slow.mounted()) {
            const double slowFloorMs = measure(3, [&] { frameWalkFloor(mount, kReadThreads); });
            reportFloor("floor: slow mount", slowFloorMs);
            report("scan without widgets, slow mount", measure(3, [&] { scan(mount); }), slowFloorMs, 1.5);
        }
#else
        (void)delayMicroseconds;
#endif
    }
    QTemporaryDir work;
    inPlaceSave(work.path().toStdString());
}

// zentrio-cli on the 3000-file folder: list and a dry run against the
// window's scan floor plus the start of a minimal Qt Core program, and its
// own start against that program's. The floor's parts and the commands take
// turns round by round, and each ratio is the median of the rounds' own.
void commandLine(int repetitions)
{
    QTemporaryDir music;
    const std::string folder = music.path().toStdString();
    makeFolder(folder);
    const auto run = [](std::vector<std::string> arguments) {
        return std::function<void()>([arguments] {
            if (!runProgram(arguments))
                std::abort();
        });
    };
    enum { kMinimal, kVersion, kScanFloor, kList, kListId3v1, kDryRun };
    const std::vector<std::function<void()>> measured { run({ ZENTRIO_MINIMALQT }), run({ ZENTRIO_CLI, "--version" }),
        [&] { scanFloor(folder); }, run({ ZENTRIO_CLI, "list", folder }),
        run({ ZENTRIO_CLI, "list", "--id3v1", folder }),
        run({ ZENTRIO_CLI, "rename", "-n", "-p", "{song}", folder }) };
    constexpr int kLeastRounds = 31; // a start takes milliseconds: enough rounds for a steady median
    const auto rounds = measureInTurn(std::max(repetitions, kLeastRounds), measured);
    // For reference: the window's own reader on the same folder, in this process.
    const double windowScanMs = measure(repetitions, [&] {
        if (scanFolder(folder, TagSource::Id3v2First).rows.size() != size_t(kFiles))
            std::abort();
    });
    const auto start = [](const std::vector<double>& round) { return round[kMinimal]; };
    const auto startAndScan = [](const std::vector<double>& round) { return round[kMinimal] + round[kScanFloor]; };
    std::printf("\nCommand line, local disk, warm cache (floor and commands in turn, %zu rounds)\n", rounds.size());
    reportFloor("floor: start of a minimal Qt Core program", medianOf(rounds, kMinimal));
    reportFloor("floor: scan (list, open, read 256, close)", medianOf(rounds, kScanFloor));
    reportFloor("(the window's scan without widgets, switch on)", windowScanMs);
    reportRatio("zentrio-cli --version", medianOf(rounds, kVersion), medianRatio(rounds, kVersion, start), 1.5);
    reportRatio("zentrio-cli list, 3000 files", medianOf(rounds, kList), medianRatio(rounds, kList, startAndScan), 1.3);
    reportRatio("zentrio-cli list --id3v1, 3000 files", medianOf(rounds, kListId3v1),
        medianRatio(rounds, kListId3v1, startAndScan), 1.3);
    reportRatio("zentrio-cli rename -n, 3000 files", medianOf(rounds, kDryRun),
        medianRatio(rounds, kDryRun, startAndScan), 1.3);
}

// zentrio-cli tag set --albumartist on a whole library, against a floor that
// writes each file's tag region in place and syncs it, plus one synced
// write of the journal record's size; and the command's peak memory.
void libraryTags(int repetitions, int files, bool mixed)
{
    QTemporaryDir work;
    const std::string root = work.path().toStdString() + "/library";
    const std::vector<std::string> paths = mixed ? makeMixedLibrary(root, files) : makeLibrary(root, files);
    const std::string state = work.path().toStdString() + "/state";
    qputenv("XDG_STATE_HOME", state.c_str());
    const std::string journal = state + "/zentrio/tagjournal";
    int round = 0;
    double peakMiB = 0;
    long long journalBytes = 0;
    const auto setAll = [&] {
        const long long before = fileSize(journal);
        double peak = 0;
        if (!runProgram({ ZENTRIO_CLI, "tag", "set", "-r", "--albumartist", "Album Artist " + std::to_string(++round), root }, &peak))
            std::abort();
        peakMiB = std::max(peakMiB, peak);
        if (round == 1) // later runs' records may be trimmed away as the journal keeps its limit
            journalBytes = fileSize(journal) - before;
    };
    setAll(); // the journal's record size for the floor, and a first run
    const double floorMs = measure(repetitions, [&] { tagWriteFloorOf(paths, work.path().toStdString(), static_cast<std::size_t>(journalBytes)); });
    const double setMs = measure(repetitions, setAll);
    std::printf("\nzentrio-cli tag set on a library of %d files%s (one in ten with a 100 KiB cover), warm\n", files,
        mixed ? " (60% MP3, 25% FLAC, 15% M4A)" : "");
    reportFloor("floor: each tag region written in place + sync, one synced journal", floorMs);
    report("zentrio-cli tag set -r --albumartist", setMs, floorMs, 2.0);
    const double perFileKiB = peakMiB * 1024.0 / files;
    std::printf("journal record of one run: %.1f MiB; peak memory of the command: %.1f MiB, %.2f KiB a file (at most 3)  %s\n",
        static_cast<double>(journalBytes) / (1024.0 * 1024.0), peakMiB, perFileKiB, perFileKiB <= 3 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it is measured
    const int repetitions = std::max(5, argc > 1 ? std::atoi(argv[1]) : 7);
    const long delay = argc > 2 ? std::atol(argv[2]) : 500;
    QTemporaryDir config;
    qputenv("XDG_STATE_HOME", (config.path() + "/state").toUtf8());
    std::printf("Zentrio benchmark: %d files, median of %d repetitions (3 on the slow mount)\n", kFiles, repetitions);
    // ZENTRIO_BENCH_ONLY=covers (or warm, own, slow, cold, tags, cli, clitags, grow) runs one section.
    const QString only = qEnvironmentVariable("ZENTRIO_BENCH_ONLY");
    const auto runs = [&](const char* section) { return only.isEmpty() || only == QLatin1String(section); };
    if (runs("warm"))
        warmLocal(repetitions, config.path());
    if (runs("own"))
        ownPattern(repetitions, config.path());
    if (runs("slow"))
        slowMount(3, delay, config.path() + "/slow");
    if (runs("cold"))
        coldLocal(repetitions);
    if (runs("tags"))
        tagsFromNames(std::min(repetitions, 5));
    if (runs("tagcovers")) {
        tagsFromNames(std::min(repetitions, 5), 300 * 1024, true);
        tagsFromNames(std::min(repetitions, 5), 300 * 1024, false);
    }
    if (runs("covers"))
        id3v2Covers(repetitions, delay, config.path() + "/covers");
    if (runs("cli"))
        commandLine(repetitions);
    if (runs("clitags"))
        commandLineTagSet(std::min(repetitions, 5));
    if (runs("grow"))
        grownTagWrites(std::min(repetitions, 5));
    // A library of 100,000 files (ZENTRIO_LIBRARY_FILES to change it): its
    // renames in all three places or one of them, or its tag writes; not
    // part of a run of every section.
    const int libraryFiles = qEnvironmentVariableIntValue("ZENTRIO_LIBRARY_FILES") > 0
        ? qEnvironmentVariableIntValue("ZENTRIO_LIBRARY_FILES")
        : 100000;
    if (only == QLatin1String("library") || only.startsWith(QLatin1String("library-")))
        libraryBench(libraryFiles,
            { only == "library" || only == "library-warm", only == "library" || only == "library-cold",
                only == "library" || only == "library-slow" },
            std::min(repetitions, 5), delay);
    if (only == QLatin1String("mixedlibrary"))
        libraryBench(libraryFiles, { true, true, false, true }, std::min(repetitions, 5), delay);
    if (only == QLatin1String("librarytags") || only == QLatin1String("mixedtags"))
        libraryTags(3, libraryFiles, only == QLatin1String("mixedtags"));
    if (only == QLatin1String("libraryquery"))
        libraryQueryBench(libraryFiles, std::min(repetitions, 5));
    if (only == QLatin1String("bigfolder"))
        bigFolderBench(20000);
    // The ways to sync a batch, with up to 2 GiB of another program's unwritten
    // data among them: not part of a run of every section.
    if (only == QLatin1String("syncs"))
        syncChoicesBench(repetitions);
    if (only == QLatin1String("dupes"))
        dupesBench(libraryFiles, std::min(repetitions, 5));
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("\npeak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
