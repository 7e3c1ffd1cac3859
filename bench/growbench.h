#pragma once

// A tag that must grow, written into big files: in place behind a copy of
// the whole file (what Zentrio does), against the swap for a new file it
// did before (which lost the file's inode, owner, mode and attributes).

namespace bench {

void grownTagWrites(int repetitions);

} // namespace bench
