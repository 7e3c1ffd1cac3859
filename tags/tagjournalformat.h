#pragma once

#include "tags/tagjournal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The tag journal's text form. Each command is a block of its own,
// appended whole:
//
//   tagcommand ID COUNT          then COUNT files, then "end ID"
//   file PATHSIZE LENGTH HASRECORD CAPTURED REGIONSIZE PIECES
//   PATH RECORD REGION           (raw bytes), a line end, then PIECES lines:
//   piece b SIZE / BYTES         piece m OFFSET SIZE DIGEST    piece z SIZE
//   tagstamps ID COUNT           then COUNT lines "INDEX SIZE TIME" (SIZE -2: not written)
//   tagcancel ID                 the command changed nothing
//
// Journals written before ids read too: "command COUNT" ... "end", and
// "stamps COUNT" for the command before it.
namespace zentrio::tagjournal {

struct Block {
    enum class Kind { Command, Stamps, Cancel } kind = Kind::Command;
    std::uint64_t id = 0;
    bool withIds = true; // false: the older form, without ids
    std::size_t count = 0;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::size_t owner = 0; // Stamps of the older form: the index of their command block
};

std::string formatCommandStart(std::uint64_t id, std::size_t count);
std::string formatFile(const TagSnapshot& file);
std::string formatCommandEnd(std::uint64_t id);
std::string formatStamps(std::uint64_t id, const std::vector<std::pair<std::size_t, std::optional<FileStamp>>>& after);
std::string formatCancel(std::uint64_t id);

// Every whole block of the journal file from its start, stepping over the
// tag bytes; `wholeUpTo` is where the last whole block ends (a torn or
// damaged tail begins there).
struct Scan {
    std::vector<Block> blocks;
    std::int64_t wholeUpTo = 0;
    std::int64_t length = 0;
};
Scan scanJournal(int fd);

// A command block's files with their stamps applied; nullopt when damaged.
std::optional<std::vector<TagSnapshot>> readCommand(int fd, const Scan& scan, std::size_t commandBlock);

// The commands that count: not cancelled, oldest first (block indexes).
std::vector<std::size_t> liveCommands(const Scan& scan);

} // namespace zentrio::tagjournal
