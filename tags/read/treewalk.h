#pragma once

#include "tags/read/audiofile.h"
#include "tags/read/tagsource.h"

#include <any>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The audio files below the paths a command names, with their tags: a file
// stands for itself, a folder for its audio files of the formats taken
// (visible entries with their extensions, sorted by their bytes: for MP3
// files alone, the files the window lists), and
// with `recursive` every folder below it too. Symbolic links to folders are
// not followed. Folders are listed and files read at once, on a growing
// pool of threads (platform/fs/readpool.h), nearest to the output first; the
// folders come out in path order, as the window sorts a folder's names.
namespace zentrio {

struct WalkedFile {
    std::string name;
    bool isLink = false; // a symbolic link to a file: listed, but never moved
};

struct WalkedFolder {
    std::string path; // absolute, as reached from the argument
    std::size_t argument = 0; // index of the path it was reached from
    // Every audio file of the folder is here (false: files named one by one,
    // or the folder holds audio files of formats not taken).
    bool whole = true;
    std::vector<WalkedFile> audio; // the audio files of the formats taken, sorted by name
    std::vector<std::string> others; // the other regular files, sorted: pictures, cue sheets, logs
    std::vector<std::string> leftOut; // the audio files of formats not taken, sorted
    bool listed = true; // false: files named one by one, their folder not listed
    // With LibraryWalk::keepEntries: every entry as listed, hidden ones too,
    // each with whether it is a folder (a link to one too).
    std::vector<std::pair<std::string, bool>> entries;
};

struct WalkFailure {
    std::string path;
    std::string reason;
};

using FolderReads = std::vector<std::optional<IdentifiedTag>>; // by the folder's MP3 order; nullopt: unreadable

struct LibraryWalk {
    std::vector<std::string> paths; // absolute: audio files and folders
    bool recursive = false;
    // Folders (absolute, resolved as the paths are) a recursive walk does not
    // go into, nor below: the folder a run moves files into.
    std::vector<std::string> leftOut;
    AudioFormats formats = AudioFormats::only(AudioFormat::Mp3); // the audio files taken
    TagSource source = TagSource::Id3v2First;
    bool readTags = true; // false: folders are only listed (their reads stay empty)
    bool keepEntries = false; // each folder comes with every entry it was listed with
    // Once a folder is listed, before any of its reads: where onRead puts
    // what it makes of each file (see `made` below). May be empty.
    std::function<std::any(const WalkedFolder&)> onListed;
    // Right after a file's read, on the thread that read it: what can be
    // made of the file alone, put into its own place in `made` (threads
    // read a folder's files at once, each file once), so that it is made
    // while the other files are read. May be empty.
    std::function<void(const WalkedFolder&, std::size_t file, const std::optional<IdentifiedTag>&, std::any& made)>
        onRead;
    // Once a folder's tags are read, on the thread that read the last of
    // them: what can be made of the folder alone (names, output lines), so
    // that it is made on all cores; `made` holds what onListed and onRead
    // made (empty without them) and is replaced by what this makes. May be
    // empty.
    std::function<void(const WalkedFolder&, FolderReads&, std::any& made)> onPool;
    // On the calling thread, folder after folder in path order, with its
    // reads and what onListed, onRead and onPool made of them; it may take
    // the folder's entries. A folder that cannot be listed comes as a
    // failure in its place.
    std::function<void(WalkedFolder&, FolderReads&, std::any&)> inOrder;
    std::function<void(const WalkFailure&)> failed;
    // Asked on the calling thread after each folder with the files read and
    // found so far; false stops the walk.
    std::function<bool(std::size_t read, std::size_t found)> keepGoing;
};

// False when keepGoing stopped it.
bool walkLibrary(const LibraryWalk& walk);

// Path order: component by component, each compared by its bytes.
bool pathLess(const std::string& a, const std::string& b);

} // namespace zentrio
