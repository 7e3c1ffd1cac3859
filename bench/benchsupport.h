#pragma once

// What the benchmark's sections share: the test folders, the floors of plain
// POSIX calls, and the timing and reporting.

#include <functional>
#include <string>
#include <vector>

namespace bench {

constexpr int kFiles = 3000;

std::string fileName(int i, const char* prefix);

// Calls `each` for 0 to count - 1 on `threads` threads (the calling one
// among them), each taking the next index as it is free.
void parallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& each);

// 3000 files: 2000 audio-like bytes and an ID3v1 record "Song N".
void makeFolder(const std::string& folder);
// 3000 files with an ID3v2.3 tag (20 KiB cover, padding), audio and ID3v1.
void makeId3v2Folder(const std::string& folder);
// 3000 files with an ID3v2.3 tag holding a 300 KiB cover before or after
// its text frames (title, artist, album, track), padding, and 16 KiB audio.
void makePictureFolder(const std::string& folder, bool pictureFirst);

std::vector<std::string> namesIn(const std::string& folder);

// A music library of `files` MP3 files under `root` (made if missing), as a
// tagger leaves one: folders "Artist NNNN/Album N" of 20 files each (five
// albums an artist), each file "NN Title N.mp3" with a small ID3v2.3 tag
// (title, artist, album, album artist, track "N/20", year) and 2 KiB of
// audio; every tenth file's tag also holds a 100 KiB cover. 100,000 files
// make 5,000 folders. Returns the paths of the files in path order.
constexpr int kLibraryAlbumFiles = 20;
constexpr int kLibraryArtistAlbums = 5;
std::vector<std::string> makeLibrary(const std::string& root, int files);

// How a floor makes its writes durable: an fsync of each file as it is
// written, or no sync per file and one syncfs of the file system at the end.
enum class FloorSync { EachFile, OneSyncfs };

// The tag-write floor over given files: first one synced write of
// `journalBytes` bytes beside `journalFolder`; then per file open, read the
// tag's header and region, write the region back in place, (sync,) close.
void tagWriteFloorOf(const std::vector<std::string>& paths, const std::string& journalFolder, std::size_t journalBytes,
    FloorSync sync = FloorSync::EachFile);
// The length of the metadata at the start of an open file: an ID3v2 tag,
// FLAC's blocks up to the audio, or an MP4 file's atoms up to the end of
// moov; 0 for none.
std::size_t metadataRegionLength(int fd);

// Runs a program with its output to /dev/null; false when it fails. With
// `peakMiB`, the child's peak memory.
bool runProgram(const std::vector<std::string>& arguments, double* peakMiB);

// The scan's calls: list, then per file open, length, 256 bytes at L-257,
// close; one file at a time, or spread over `threads` threads.
void scanFloor(const std::string& folder, int threads = 1);
// The ID3v2 scan's calls: as above, plus the first 10 bytes and the tag's bytes.
void id3v2ScanFloor(const std::string& folder);
// 3000 files named "NN - Artist N - Title N.mp3" with an ID3v2.3 tag that
// has room to spare, 16 KiB audio and an ID3v1 record; with `coverBytes`, a
// cover picture of that size before or after the text frames.
void makeNamedFolder(const std::string& folder, std::size_t coverBytes = 0, bool pictureFirst = false);
// The tag-write floor of tagWriteFloorOf over every file of `folder`.
void tagWriteFloor(const std::string& folder, std::size_t journalBytes, FloorSync sync = FloorSync::EachFile);
// The frame-walk floor: per file open, length, the 10-byte header, each
// 10-byte frame header, and the bodies of the frames a name uses, close;
// spread over `threads` threads.
void frameWalkFloor(const std::string& folder, int threads);
// The same calls for one file.
void readFrames(const std::string& path);
// 3000 no-replace renames from prefix `from` to prefix `to`, one at a time.
void renameAll(const std::string& folder, const char* from, const char* to);
// The rename run's target names ("Song N.mp3", numbering off) back to "trackN".
void renameBack(const std::string& folder);

// Runs a program with its output thrown away and waits for it; false when
// it could not be started or did not exit with status 0.
bool runProgram(const std::vector<std::string>& arguments);

// Median milliseconds of `measured`, with `before` and `after` run untimed
// around each repetition.
double measure(int repetitions, const std::function<void()>& measured, const std::function<void()>& before = {},
    const std::function<void()>& after = {});

// Milliseconds of each of `measured`, run in turn once a round for
// `rounds` rounds: by round, then by function. On a machine whose speed
// drifts from one second to the next (a shared host), a floor and the
// commands held to it meet the same drift only when they take turns.
std::vector<std::vector<double>> measureInTurn(int rounds, const std::vector<std::function<void()>>& measured);

// The median of the rounds' own ratios of a command's time to its floor's.
double medianRatio(const std::vector<std::vector<double>>& rounds, std::size_t command,
    const std::function<double(const std::vector<double>&)>& floorOf);

// The median of one function's times over the rounds.
double medianOf(const std::vector<std::vector<double>>& rounds, std::size_t function);

// Empties the kernel's page, dentry and inode caches (needs root); false
// where it cannot.
bool dropCaches();

void reportFloor(const char* what, double ms);
void report(const char* what, double ms, double floor, double target);
// A command's median time and its median ratio to its floor, round by round.
void reportRatio(const char* what, double ms, double ratio, double target);

} // namespace bench
