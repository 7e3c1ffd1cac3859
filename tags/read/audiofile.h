#pragma once

#include <string>
#include <string_view>

// Which files the library's rename takes as audio files, and the ending a
// new name of one must keep. The walk that plans a run and the check of a
// kept plan both ask here, so a plan can hold no audio file the walk would
// not have named.
namespace zentrio {

// True for an audio file's name: its last four bytes, lower-cased, are ".mp3".
bool isAudioFileName(std::string_view name);

// The ending (lower-cased, with its dot) every new name of this audio file
// ends in: ".mp3". Empty for a name that is no audio file's.
std::string ownAudioExtension(std::string_view name);

// True when `newName` is a name the rename can give the audio file `name`:
// it ends in the file's own extension (in any letter case) and has more
// before it.
bool keepsOwnExtension(std::string_view name, std::string_view newName);

} // namespace zentrio
