#pragma once

#include "tags/journal/tagjournal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The tag journal's text form. A command is appended a slice of files at a
// time while its files are written, then closed:
//
//   tagcommand ID TIME ORIGIN    (ORIGIN: window or cli)
//   file PATHSIZE LENGTH HASRECORD CAPTURED REGIONSIZE PIECES BEFORE WRITTEN MTIME [AT]
//   PATH RECORD REGION           (raw bytes), a line end, then PIECES lines:
//   piece b SIZE / BYTES         piece m OFFSET SIZE DIGEST    piece z SIZE
//   ...                          (BEFORE and WRITTEN: LENGTH:DIGEST fingerprints;
//                                MTIME: nanoseconds, or "-"; journals before it had none;
//                                AT: the region's offset where it is not 0, a region
//                                at the file's end; journals before it had none)
//   end ID COUNT
//   notwritten ID COUNT          then COUNT lines, each a file's index
//
// A command a crash cut short has no end line: its whole files count, and
// the next use closes it. Journals of earlier versions read too: "command
// COUNT" ... "end", and "stamps COUNT" for the command before it.
namespace zentrio::tagjournal {

struct Block {
    enum class Kind { Command, NotWritten, Stamps } kind = Kind::Command;
    std::uint64_t id = 0;
    bool withIds = true; // false: the earlier form
    bool open = false; // a command without its end line
    std::size_t count = 0;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::size_t owner = 0; // Stamps of the earlier form: the index of their command block
    std::int64_t time = 0; // a command's: seconds since the epoch
    TagOrigin origin = TagOrigin::Window;
};

std::string formatCommandStart(std::uint64_t id, std::int64_t time, TagOrigin origin);
std::string formatFile(const TagSnapshot& file);
std::string formatCommandEnd(std::uint64_t id, std::size_t count);
std::string formatNotWritten(std::uint64_t id, const std::vector<std::size_t>& files);

// Every whole block of the journal file from its start, stepping over the
// tag bytes; `wholeUpTo` is where the last whole block (or the last whole
// file of an open command) ends: a torn or damaged tail begins there.
struct Scan {
    std::vector<Block> blocks;
    std::int64_t wholeUpTo = 0;
    std::int64_t length = 0;
};
Scan scanJournal(int fd);

// A command block's files with their marks applied (with `pathsOnly`, of
// their bytes only their paths); nullopt when damaged.
std::optional<std::vector<TagSnapshot>> readCommand(
    int fd, const Scan& scan, std::size_t commandBlock, bool pathsOnly = false);

// A command's id as its 16 hex digits, and as shown: the first 8 ("-" for
// a command of the earlier form, which has none).
std::string fullChangeId(std::uint64_t id);
std::string changeId(std::uint64_t id);

// The command blocks, oldest first.
std::vector<std::size_t> commandBlocks(const Scan& scan);

} // namespace zentrio::tagjournal
