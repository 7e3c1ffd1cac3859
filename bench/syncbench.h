#pragma once

// The ways to make a batch of small in-place writes durable, measured on
// 3000 files of one folder: an fsync of each file; write-back started for
// every file, then an fdatasync or an fsync of each; one syncfs. On the
// local disk alone, just after another program left much unwritten data on
// the same file system (which a syncfs must write too, and an fsync of our
// own files need not), and on a tmpfs where one is writable.

namespace bench {

void syncChoicesBench(int repetitions);

} // namespace bench
