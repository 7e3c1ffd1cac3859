#pragma once

#include <string>
#include <vector>

// The MP3 files below the paths a command names: a file stands for itself,
// a folder for its MP3 files as the window lists them (visible entries
// whose names end in ".mp3", sorted by their bytes), and with `recursive`
// every folder below it too. Symbolic links to folders are not followed.
namespace zentrio {

struct WalkedFile {
    std::string name;
    bool isLink = false; // a symbolic link to a file: listed, but never moved
};

struct WalkedFolder {
    std::string path; // absolute, as reached from the argument
    std::size_t argument = 0; // index of the path it was reached from
    bool whole = true; // every MP3 file of the folder is here (false: files named one by one)
    std::vector<WalkedFile> mp3s; // sorted by name
    std::vector<std::string> others; // the other regular files, sorted: pictures, cue sheets, logs
};

struct WalkFailure {
    std::string path;
    std::string reason;
};

struct TreeWalk {
    std::vector<WalkedFolder> folders; // sorted by path, "/" before any other byte
    std::vector<WalkFailure> failures; // folders that could not be listed
    std::size_t fileCount() const;
};

// `paths` are absolute. Each level of the tree is listed on the read pool,
// so the waits of many folders on a slow mount overlap.
TreeWalk walkTree(const std::vector<std::string>& paths, bool recursive);

// Path order: component by component, each compared by its bytes.
bool pathLess(const std::string& a, const std::string& b);

} // namespace zentrio
