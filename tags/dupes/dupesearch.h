#pragma once

#include "platform/fs/fsops.h"
#include "tags/read/audiospan.h"
#include "tags/read/treewalk.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The groups of copies in a library. By audio: every file's audio span is
// found as the folders are listed; the files whose span length another
// shares are read in full on the read pool and digested; the same length
// and digest make a group. By tags: the same artist, album and song, a
// weaker kind (a live take and the album's may share them). Nothing is
// changed on the disk.
namespace zentrio {

enum class DupeKind { Audio, Tags };

struct DupeRequest {
    std::vector<std::string> paths; // absolute: audio files and folders
    bool recursive = false;
    std::vector<std::string> leftOut; // folders not searched (LibraryWalk::leftOut): where copies are moved
    AudioFormats formats = AudioFormats::all();
    DupeKind kind = DupeKind::Audio;
};

struct DupeFile {
    std::string path;
    std::size_t argument = 0; // which path it was reached from
    fs::FileIdentity identity; // as its audio was read: a move checks it is still the same
    std::optional<AudioSpan> span; // by audio only
    // The files of a group (by tags: every file read); shared, so that the
    // files of a large library move cheaply while they are put in order.
    std::shared_ptr<const TagFields> tag;
};

struct DupeGroup {
    std::vector<std::size_t> files; // into DupesFound::files, in path order
    std::int64_t audioBytes = 0; // by audio
    std::uint64_t digest = 0; // by audio
};

struct DupeFault {
    std::string path;
    std::size_t argument = 0;
    std::string reason; // "cannot be read", "its audio cannot be delimited: ..."
    // The file the reason ends with, where it names one: the file that stays.
    std::string kept;
    std::size_t keptArgument = 0;
};

// Another name of a file searched: a hard link (left out of the search,
// which takes each file once) or a symbolic link to a file, met in a folder
// searched. A move of the file it names leaves it behind.
struct OtherName {
    std::string path;
    std::size_t argument = 0;
    std::uint64_t device = 0; // of the file it names
    std::uint64_t inode = 0;
    bool symbolic = false;
    std::string target; // a symbolic link: the path it resolves to
};

struct DupesFound {
    std::vector<DupeFile> files; // in path order
    std::vector<DupeGroup> groups; // the largest first
    std::vector<DupeFault> faults; // files left out of the search, in path order
    std::vector<WalkFailure> failures; // paths or folders that could not be listed
    std::vector<OtherName> otherNames;
    bool complete = true; // false: stopped by `progress`
};

// `progress` is told, on the calling thread, the stage ("reading",
// "digesting", "reading tags") and the files done of the total; false stops
// the search.
DupesFound findDuplicates(const DupeRequest& request,
    const std::function<bool(const char* stage, std::size_t done, std::size_t total)>& progress = {});

} // namespace zentrio
