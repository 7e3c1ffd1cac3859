#pragma once

// zentrio-cli dupes on a library of MP3 files whose audio lengths are
// unique but for a few copies (same audio, other tags and names) and a few
// files of the same length and other audio, against a floor of 16 threads
// that list the folders, read what delimits each file's audio (its first
// and last 4 KiB) and read the audio of the files of a shared length once.

namespace bench {

void dupesBench(int files, int repetitions);

} // namespace bench
