// Measures the scan and the rename run on 3000 tagged files against the
// floor of plain POSIX calls doing the same I/O, in one run. Prints each
// median, the ratios to the floors, and the peak memory.
//
//   QT_QPA_PLATFORM=offscreen build/bench/zentrio_bench [repetitions]

#include "app/form1.h"
#include "platform/filelauncher.h"
#include "platform/filelistview.h"
#include "platform/fsops.h"
#include "platform/registry.h"
#include "platform/settingsstore.h"
#include "platform/windowmessaging.h"
#include "rename/renamerun.h"
#include "tags/folderscan.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace zentrio;

namespace {

constexpr int kFiles = 3000;

std::string fileName(int i, const char* prefix) { return std::string(prefix) + std::to_string(10000 + i) + ".mp3"; }

void makeFolder(const std::string& folder)
{
    std::string audio(2000, '\xFF');
    for (int i = 0; i < kFiles; ++i) {
        std::string record = "TAG";
        auto field = [&](const std::string& text) { record += (text + std::string(30, ' ')).substr(0, 30); };
        field("Song " + std::to_string(i));
        field("Artist " + std::to_string(i % 50));
        field("Album " + std::to_string(i % 200));
        record += "2001" + std::string(30, ' ') + '\x0C';
        const std::string path = folder + "/" + fileName(i, "track");
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(audio.data(), 1, audio.size(), f);
        std::fwrite(record.data(), 1, record.size(), f);
        std::fclose(f);
    }
}

// Files tagged the way today's rippers tag them: an ID3v2.3 tag with title,
// artist, album, a track number and a 20 KiB cover, padded by TagLib, then
// the audio and an ID3v1 record.
void makeId3v2Folder(const std::string& folder)
{
    TagLib::ID3v2::Tag tag;
    auto* cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setMimeType("image/jpeg");
    cover->setPicture(TagLib::ByteVector(20 * 1024, '\x5A'));
    tag.addFrame(cover);
    tag.setAlbum("An album");
    const std::string audio(2000, '\xFF');
    for (int i = 0; i < kFiles; ++i) {
        tag.setTitle(("Song " + std::to_string(i)).c_str());
        tag.setArtist(("Artist " + std::to_string(i % 50)).c_str());
        tag.setTrack(static_cast<unsigned>(i % 20 + 1));
        const TagLib::ByteVector header = tag.render(TagLib::ID3v2::v3);
        const std::string path = folder + "/" + fileName(i, "tagged");
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(header.data(), 1, header.size(), f);
        std::fwrite(audio.data(), 1, audio.size(), f);
        std::fwrite("TAG", 1, 3, f);
        std::fwrite(std::string(125, ' ').data(), 1, 125, f);
        std::fclose(f);
    }
}

std::vector<std::string> namesIn(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir))
        names.emplace_back(e->d_name);
    closedir(dir);
    return names;
}

// The least an ID3v2 scan must do: list, then per file open, read the first
// 10 bytes, read the tag's bytes, read 256 bytes at L-257, close.
void id3v2ScanFloor(const std::string& folder)
{
    std::string buffer;
    char window[256];
    for (const std::string& name : namesIn(folder)) {
        const int fd = open((folder + "/" + name).c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        struct stat st {};
        fstat(fd, &st);
        unsigned char header[10] = {};
        if (pread(fd, header, 10, 0) == 10 && header[0] == 'I' && header[1] == 'D' && header[2] == '3') {
            const size_t size = 10 + ((header[6] << 21) | (header[7] << 14) | (header[8] << 7) | header[9]);
            buffer.resize(size);
            (void)pread(fd, buffer.data(), size, 0);
        }
        if (st.st_size > 256)
            (void)pread(fd, window, 256, st.st_size - 257);
        close(fd);
    }
}

// The least a scan must do: list, then per file open, length, 256 bytes at L-257, close.
void scanFloor(const std::string& folder)
{
    char window[256];
    for (const std::string& name : namesIn(folder)) {
        const int fd = open((folder + "/" + name).c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        struct stat st {};
        fstat(fd, &st);
        if (st.st_size > 256)
            (void)pread(fd, window, 256, st.st_size - 257);
        close(fd);
    }
}

void renameAll(const std::string& folder, const char* from, const char* to)
{
    for (int i = 0; i < kFiles; ++i) {
        renameat2(AT_FDCWD, (folder + "/" + fileName(i, from)).c_str(), AT_FDCWD,
            (folder + "/" + fileName(i, to)).c_str(), RENAME_NOREPLACE);
    }
}

// The rename run's target names: "Song N.mp3", numbering off.
void renameBack(const std::string& folder)
{
    for (int i = 0; i < kFiles; ++i) {
        rename((folder + "/Song " + std::to_string(i) + ".mp3").c_str(), (folder + "/" + fileName(i, "track")).c_str());
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median milliseconds of `measured`, with `before` and `after` run untimed around each repetition.
double measure(int repetitions, const std::function<void()>& measured, const std::function<void()>& before = {},
    const std::function<void()>& after = {})
{
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        if (before)
            before();
        const auto start = std::chrono::steady_clock::now();
        measured();
        const auto end = std::chrono::steady_clock::now();
        if (after)
            after();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    return median(times);
}

void report(const char* what, double ms, double floor, double target)
{
    const double ratio = ms / floor;
    std::printf("%-44s %8.2f ms  %5.2f x floor  (target <= %.1f)  %s\n", what, ms, ratio, target,
        ratio <= target ? "met" : "MISSED");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int repetitions = std::max(5, argc > 1 ? std::atoi(argv[1]) : 7);
    QTemporaryDir music;
    QTemporaryDir config;
    qputenv("XDG_STATE_HOME", (config.path() + "/state").toUtf8());
    const std::string folder = music.path().toStdString();
    makeFolder(folder);

    const double scanFloorMs = measure(repetitions, [&] { scanFloor(folder); });
    const double scanMs = measure(repetitions, [&] {
        if (scanFolder(folder).rows.size() != size_t(kFiles))
            std::abort();
    });
    const double renameFloorMs = measure(
        repetitions, [&] { renameAll(folder, "track", "moved"); }, {}, [&] { renameAll(folder, "moved", "track"); });

    NameOptions options;
    options.numbered = false;
    std::vector<RunItem> items;
    for (int i = 0; i < kFiles; ++i)
        items.push_back({ true, fileName(i, "track") });
    const double runMs = measure(
        repetitions,
        [&] {
            if (runRename(folder, items, options, {}).renamed != kFiles)
                std::abort();
        },
        {}, [&] { renameBack(folder); });

    IniSettingsStore settings(config.path());
    settings.write("zentrio", "config", "Drive", "/");
    settings.write("zentrio", "config", "Path", QByteArray::fromStdString(folder));
    settings.write("zentrio", "config", "o1", " 0");
    DesktopFileLauncher launcher;
    MprisWindowMessaging messaging;
    DesktopRegistry registry;
    Form1 window({ settings, launcher, messaging, registry });
    window.load();
    window.show();
    app.processEvents();
    const double windowScanMs = measure(repetitions, [&] {
        window.frissites(1);
        app.processEvents();
    });
    const double windowRunMs = measure(
        repetitions,
        [&] {
            window.selectall->trigger();
            window.selected->trigger();
            app.processEvents();
            if (window.Label11->text() != window.texts().message("msg1"))
                std::abort(); // the run must have renamed every file
        },
        {}, [&] { renameBack(folder); window.frissites(0); });

    QTemporaryDir tagged;
    const std::string taggedFolder = tagged.path().toStdString();
    makeId3v2Folder(taggedFolder);
    const double id3v2FloorMs = measure(repetitions, [&] { id3v2ScanFloor(taggedFolder); });
    const double id3v2ScanMs = measure(repetitions, [&] {
        const FolderScan scan = scanFolder(taggedFolder, TagSource::Id3v2First);
        if (scan.rows.size() != size_t(kFiles) || scan.rows.back().tag.album != "An album")
            std::abort();
    });

    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("Zentrio benchmark: %d files, median of %d repetitions\n", kFiles, repetitions);
    std::printf("%-44s %8.2f ms\n", "floor: scan (list, open, read 256, close)", scanFloorMs);
    std::printf("%-44s %8.2f ms\n", "floor: rename (3000 no-replace renames)", renameFloorMs);
    report("scan without widgets", scanMs, scanFloorMs, 1.3);
    report("window scan, frissites(1), list filled", windowScanMs, scanFloorMs, 2.0);
    report("rename run without widgets", runMs, scanFloorMs + renameFloorMs, 1.3);
    report("window \"selected\" with rescan and playlist", windowRunMs, 2 * scanFloorMs + renameFloorMs, 1.5);
    std::printf("%-44s %8.2f ms\n", "floor: ID3v2 scan (+ 10 bytes, tag bytes)", id3v2FloorMs);
    report("ID3v2 scan without widgets, switch on", id3v2ScanMs, id3v2FloorMs, 2.0);
    std::printf("peak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
