#pragma once

// The library-scale measurements of zentrio-cli: a library made by
// makeLibrary, listed, planned, renamed into new folders and undone,
// against floors of plain POSIX calls on 16 threads (and on one, for
// reference), warm, cold and on the slow mount.

#include <string>

namespace bench {

struct LibraryPlaces {
    bool warm = true;
    bool cold = true;
    bool slow = true;
    bool mixed = false; // MP3, FLAC and M4A files (makeMixedLibrary)
};

// `files` files (100,000 make 5,000 folders); `delayMicroseconds` for the
// slow mount.
void libraryBench(int files, LibraryPlaces places, int repetitions, long delayMicroseconds);

// The library listed whole and by a query of a tenth of its years, warm:
// the query's filter against the listing it filters.
void libraryQueryBench(int files, int repetitions);

// One folder of `files` files (no folder limit): a dry run, the rename and
// its undo, each checked to have done every file.
void bigFolderBench(int files);

} // namespace bench
