#pragma once

#include "tags/read/audiofile.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

// The audio formats a subcommand takes: every one by default, fewer with
// --ext, and MP3 alone with --id3v1 (the ID3v1 record is MP3's).
namespace zentrio::cli {

void addFormatOption(CLI::App& command, std::string& formats);

// The formats taken; nullopt (after saying why) for a name that is no
// format's, or for another format than MP3 with --id3v1.
std::optional<AudioFormats> chosenFormats(const std::string& formats, bool id3v1);

// The formats whose tags are written, by name: "mp3, flac, ...".
std::string writableFormatList();

} // namespace zentrio::cli
