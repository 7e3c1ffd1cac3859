#include "benchsupport.h"
#include "durable.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <thread>
#include <fstream>
#include <unistd.h>

namespace bench {

void parallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& each)
{
    std::atomic<std::size_t> next { 0 };
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            each(i);
    };
    std::vector<std::jthread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
}

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

void makePictureFolder(const std::string& folder, bool pictureFirst)
{
    TagLib::ID3v2::Tag tag;
    auto* cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setMimeType("image/jpeg");
    cover->setPicture(TagLib::ByteVector(300 * 1024, '\x5A'));
    if (pictureFirst)
        tag.addFrame(cover);
    tag.setTitle("Song");
    tag.setArtist("Artist");
    tag.setAlbum("An album");
    tag.setTrack(1);
    if (!pictureFirst)
        tag.addFrame(cover);
    const std::string audio(16 * 1024, '\xFF');
    for (int i = 0; i < kFiles; ++i) {
        tag.setTitle(("Song " + std::to_string(i)).c_str());
        tag.setTrack(static_cast<unsigned>(i % 20 + 1));
        const TagLib::ByteVector header = tag.render(TagLib::ID3v2::v3);
        const std::string path = folder + "/" + fileName(i, "cover");
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(header.data(), 1, header.size(), f);
        std::fwrite(audio.data(), 1, audio.size(), f);
        std::fclose(f);
    }
}

void makeNamedFolder(const std::string& folder, std::size_t coverBytes, bool pictureFirst)
{
    const std::string audio(16 * 1024, '\xFF');
    const std::string record = "TAG" + std::string(124, ' ') + '\x0C';
    const auto addCover = [&](TagLib::ID3v2::Tag& tag) {
        auto* cover = new TagLib::ID3v2::AttachedPictureFrame;
        cover->setMimeType("image/jpeg");
        cover->setPicture(TagLib::ByteVector(static_cast<unsigned>(coverBytes), '\x5A'));
        tag.addFrame(cover);
    };
    for (int i = 0; i < kFiles; ++i) {
        TagLib::ID3v2::Tag tag;
        if (coverBytes > 0 && pictureFirst)
            addCover(tag);
        tag.setTitle(("Old " + std::to_string(i)).c_str());
        tag.setArtist("Old artist");
        tag.setAlbum("An album");
        if (coverBytes > 0 && !pictureFirst)
            addCover(tag);
        const TagLib::ByteVector header = tag.render(TagLib::ID3v2::v3);
        const std::string path
            = folder + "/" + std::to_string(i % 99 + 1) + " - Artist " + std::to_string(i % 50) + " - Title " + std::to_string(i) + ".mp3";
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(header.data(), 1, header.size(), f);
        std::fwrite(audio.data(), 1, audio.size(), f);
        std::fwrite(record.data(), 1, record.size(), f);
        std::fclose(f);
    }
}

void tagWriteFloorOf(
    const std::vector<std::string>& paths, const std::string& journalFolder, std::size_t journalBytes, FloorSync sync)
{
    const std::string journal = journalFolder + "/floor-journal";
    const int jfd = open(journal.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string bytes(journalBytes, 'j');
    (void)write(jfd, bytes.data(), bytes.size());
    fsync(jfd);
    close(jfd);
    std::string region;
    for (const std::string& path : paths) {
        const int fd = open(path.c_str(), O_RDWR);
        if (fd < 0)
            continue;
        if (const std::size_t length = metadataRegionLength(fd); length > 0) {
            region.resize(length);
            (void)pread(fd, region.data(), region.size(), 0);
            (void)pwrite(fd, region.data(), region.size(), 0);
            if (sync == FloorSync::EachFile)
                fsync(fd);
        }
        close(fd);
    }
    if (sync == FloorSync::OneSyncfs)
        syncFileSystemOf(journalFolder);
}

std::size_t metadataRegionLength(int fd)
{
    unsigned char header[10] = {};
    if (pread(fd, header, 10, 0) != 10)
        return 0;
    const auto be32 = [](const unsigned char* b) { return (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]; };
    if (std::memcmp(header, "ID3", 3) == 0)
        return 10 + ((header[6] << 21) | (header[7] << 14) | (header[8] << 7) | header[9]);
    off_t at = 0;
    if (std::memcmp(header, "fLaC", 4) == 0) { // the blocks up to the audio
        for (at = 4; pread(fd, header, 4, at) == 4;) {
            at += 4 + ((header[1] << 16) | (header[2] << 8) | header[3]);
            if (header[0] & 0x80)
                return static_cast<std::size_t>(at);
        }
        return 0;
    }
    while (pread(fd, header, 8, at) == 8 && be32(header) >= 8) { // the atoms up to the end of moov
        at += be32(header);
        if (std::memcmp(header + 4, "moov", 4) == 0)
            return static_cast<std::size_t>(at);
    }
    return 0;
}

void tagWriteFloor(const std::string& folder, std::size_t journalBytes, FloorSync sync)
{
    std::vector<std::string> paths;
    for (const std::string& name : namesIn(folder))
        paths.push_back(folder + "/" + name);
    tagWriteFloorOf(paths, folder + "/..", journalBytes, sync);
}

std::vector<std::string> makeLibrary(const std::string& root, int files)
{
    const auto padded = [](int number, int width) {
        std::string digits = std::to_string(number);
        return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(digits.size()))), '0')
            + digits;
    };
    const std::string audio(2048, '\xFF');
    TagLib::ByteVector cover(100 * 1024, '\x5A');
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(files));
    mkdir(root.c_str(), 0755);
    for (int i = 0; i < files; ++i) {
        const int album = i / kLibraryAlbumFiles;
        const int artist = album / kLibraryArtistAlbums;
        const int track = i % kLibraryAlbumFiles + 1;
        const std::string artistName = "Artist " + padded(artist, 4);
        const std::string albumName = "Album " + std::to_string(album % kLibraryArtistAlbums + 1);
        const std::string artistFolder = root + "/" + artistName;
        const std::string albumFolder = artistFolder + "/" + albumName;
        if (i % kLibraryAlbumFiles == 0) {
            mkdir(artistFolder.c_str(), 0755);
            mkdir(albumFolder.c_str(), 0755);
        }
        TagLib::ID3v2::Tag tag;
        tag.setTitle(("Title " + std::to_string(i)).c_str());
        tag.setArtist(artistName.c_str());
        tag.setAlbum((albumName + " of " + artistName).c_str());
        tag.setYear(static_cast<unsigned>(1960 + album % 60));
        auto* albumArtist = new TagLib::ID3v2::TextIdentificationFrame("TPE2", TagLib::String::UTF8);
        albumArtist->setText(artistName.c_str());
        tag.addFrame(albumArtist);
        auto* trackFrame = new TagLib::ID3v2::TextIdentificationFrame("TRCK", TagLib::String::UTF8);
        trackFrame->setText((std::to_string(track) + "/" + std::to_string(kLibraryAlbumFiles)).c_str());
        tag.addFrame(trackFrame);
        if (i % 10 == 0) {
            auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
            picture->setMimeType("image/jpeg");
            picture->setPicture(cover);
            tag.addFrame(picture);
        }
        const TagLib::ByteVector header = tag.render(TagLib::ID3v2::v3);
        std::string path = albumFolder + "/" + padded(track, 2) + " Title " + std::to_string(i) + ".mp3";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            continue;
        std::fwrite(header.data(), 1, header.size(), f);
        std::fwrite(audio.data(), 1, audio.size(), f);
        std::fclose(f);
        paths.push_back(std::move(path));
    }
    return paths;
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

namespace {

    void readWindow(const std::string& path)
    {
        char window[256];
        const int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0)
            return;
        struct stat st {};
        fstat(fd, &st);
        if (st.st_size > 256)
            (void)pread(fd, window, 256, st.st_size - 257);
        close(fd);
    }

} // namespace

// Calls `read` on every entry of the folder, spread over `threads` threads.
void forEachFile(const std::string& folder, int threads, void (*read)(const std::string&))
{
    const std::vector<std::string> names = namesIn(folder);
    auto part = [&](int t) {
        for (std::size_t i = static_cast<std::size_t>(t); i < names.size(); i += static_cast<std::size_t>(threads))
            read(folder + "/" + names[i]);
    };
    std::vector<std::jthread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(part, t);
    part(0);
}

void scanFloor(const std::string& folder, int threads) { forEachFile(folder, threads, readWindow); }

namespace {

    bool wantedFrame(const unsigned char* id)
    {
        for (const char* wanted : { "TIT2", "TPE1", "TALB", "TRCK", "TPOS", "TYER", "TDRC", "TCON", "TPE2" }) {
            if (std::memcmp(id, wanted, 4) == 0)
                return true;
        }
        return false;
    }

    void walkFrames(const std::string& path)
    {
        const int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0)
            return;
        struct stat st {};
        fstat(fd, &st);
        unsigned char header[10] = {};
        if (pread(fd, header, 10, 0) == 10 && std::memcmp(header, "ID3", 3) == 0) {
            const std::size_t end = 10 + ((header[6] << 21) | (header[7] << 14) | (header[8] << 7) | header[9]);
            std::string body;
            for (std::size_t at = 10; at + 10 <= end;) {
                unsigned char frame[10];
                if (pread(fd, frame, 10, static_cast<off_t>(at)) != 10 || frame[0] == 0)
                    break;
                const std::size_t size = (std::size_t(frame[4]) << 24) | (frame[5] << 16) | (frame[6] << 8) | frame[7];
                if (wantedFrame(frame)) {
                    body.resize(size);
                    (void)pread(fd, body.data(), size, static_cast<off_t>(at + 10));
                }
                at += 10 + size;
            }
        }
        close(fd);
    }

} // namespace

void frameWalkFloor(const std::string& folder, int threads) { forEachFile(folder, threads, walkFrames); }

void readFrames(const std::string& path)
{
    walkFrames(path);
}

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

void renameAll(const std::string& folder, const char* from, const char* to)
{
    for (int i = 0; i < kFiles; ++i) {
        renameat2(AT_FDCWD, (folder + "/" + fileName(i, from)).c_str(), AT_FDCWD,
            (folder + "/" + fileName(i, to)).c_str(), RENAME_NOREPLACE);
    }
}

void renameBack(const std::string& folder)
{
    for (int i = 0; i < kFiles; ++i) {
        rename((folder + "/Song " + std::to_string(i) + ".mp3").c_str(), (folder + "/" + fileName(i, "track")).c_str());
    }
    unlink((folder + "/playlist.m3u").c_str());
}

bool runProgram(const std::vector<std::string>& arguments) { return runProgram(arguments, nullptr); }

bool runProgram(const std::vector<std::string>& arguments, double* peakMiB)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int started = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage {};
    const bool ended = started == 0 && wait4(child, &status, 0, &usage) == child;
    if (peakMiB)
        *peakMiB = usage.ru_maxrss / 1024.0;
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool dropCaches()
{
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "3\n";
    drop.flush();
    return drop.good();
}

double measure(int repetitions, const std::function<void()>& measured, const std::function<void()>& before,
    const std::function<void()>& after)
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
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<std::vector<double>> measureInTurn(int rounds, const std::vector<std::function<void()>>& measured)
{
    std::vector<std::vector<double>> times;
    for (int r = 0; r < rounds; ++r) {
        std::vector<double>& round = times.emplace_back();
        for (const auto& function : measured) {
            const auto start = std::chrono::steady_clock::now();
            function();
            round.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }
    return times;
}

namespace {

    double median(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

} // namespace

double medianRatio(const std::vector<std::vector<double>>& rounds, std::size_t command,
    const std::function<double(const std::vector<double>&)>& floorOf)
{
    std::vector<double> ratios;
    for (const auto& round : rounds)
        ratios.push_back(round[command] / floorOf(round));
    return median(std::move(ratios));
}

double medianOf(const std::vector<std::vector<double>>& rounds, std::size_t function)
{
    std::vector<double> values;
    for (const auto& round : rounds)
        values.push_back(round[function]);
    return median(std::move(values));
}

void reportRatio(const char* what, double ms, double ratio, double target)
{
    std::printf("%-52s %9.2f ms  %5.2f x floor  (target <= %.1f)  %s\n", what, ms, ratio, target,
        ratio <= target ? "met" : "MISSED");
}

void reportFloor(const char* what, double ms) { std::printf("%-52s %9.2f ms\n", what, ms); }

void report(const char* what, double ms, double floor, double target)
{
    const double ratio = ms / floor;
    std::printf("%-52s %9.2f ms  %5.2f x floor  (target <= %.1f)  %s\n", what, ms, ratio, target,
        ratio <= target ? "met" : "MISSED");
}

} // namespace bench
