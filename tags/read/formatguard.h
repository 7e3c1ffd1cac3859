#pragma once

#include "platform/fs/fsops.h"
#include "tags/read/audiofile.h"

// Whether TagLib may parse a file. Its readers follow some structures as
// deep or as wide as a file makes them: atoms nested in atoms, chapters in
// chapters, an APE text item split at every NUL. A few hundred KiB of such
// nesting exhausts a thread's stack, and a few MiB of NULs take gigabytes.
// Those files are refused here, from their headers, before TagLib sees them.
namespace zentrio {

bool safeForTagLib(const fs::FileReader& file, AudioFormat format);

} // namespace zentrio
