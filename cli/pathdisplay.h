#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// How zentrio-cli's text output names files: as they can be given back from
// the working directory, so that the same file prints alike in every command
// and two folders' files never do. JSON output keeps absolute paths.
namespace zentrio::cli {

// How a path goes into text: byte for byte (a NUL-ended record, a pipe),
// quoted as a shell takes it back (a terminal, a message on stderr), or with
// its control characters as blanks (a record that must stay one line).
enum class PathForm { AsIs, Quoted, OneLine };

std::string pathText(std::string path, PathForm form);
// The form of a path in a record on stdout: quoted on a terminal, else `elsewhere`.
PathForm recordForm(PathForm elsewhere = PathForm::AsIs);

// Paths under a path given on the command line are shown under it as it was
// given ("Music/Artist/a.mp3", "/srv/Music/a.mp3", "../a.mp3"), new paths
// under the --to folder as it was given, and any other path whole.
class PathDisplay {
public:
    // `shownAs` empty: paths below `absolute` are shown relative to it.
    void addBase(std::string absolute, std::string shownAs = {});
    void setTarget(std::string absolute, std::string given);

    // The path's bytes as shown, under the base `base` when it lies below it
    // (else under any other base, then the target).
    std::string place(const std::string& path, std::size_t base = 0) const;
    // The same in a record on stdout: quoted on a terminal.
    std::string show(const std::string& path, std::size_t base = 0) const;
    // The same in a message on stderr, one line each: always quoted.
    std::string said(const std::string& path, std::size_t base = 0) const;

private:
    struct Base {
        std::string absolute;
        std::string shownAs;
    };
    static std::optional<std::string> below(const std::string& path, const Base& base);
    std::vector<Base> m_bases;
    std::optional<Base> m_target;
};

// Paths as they are reached from the paths given on the command line:
// `given` as typed, `absolute` as absolutePaths made them.
PathDisplay displayForArguments(const std::vector<std::string>& given, const std::vector<std::string>& absolute);
// Paths relative to the working directory when they lie below it, else
// whole: for the paths a plan or a journal holds.
PathDisplay displayFromHere();

} // namespace zentrio::cli
