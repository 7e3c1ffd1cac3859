#pragma once

#include "rename/history/plannedrename.h"
#include "rename/naming/compose.h"
#include "tags/read/checkeditems.h"
#include "tags/read/tagsource.h"

#include <functional>
#include <string>
#include <vector>

namespace zentrio {

struct RenameRunResult {
    enum class Outcome {
        NothingChecked, // no checked item was an audio file of the run's formats (".mp3" alone by default)
        Completed,
        TargetExists, // a rename was refused: a file of the new name exists
        Failed, // any other failure; the run stopped at that item
    } outcome
        = Outcome::Completed;
    int renamed = 0;
    std::size_t movesDone = 0; // of the renames given to BeforeRenames, how many were made (the first ones)
};

// Called once, before the first rename, with every rename the run may make
// (a journal writes them down there).
using BeforeRenames = std::function<void(const std::vector<PlannedRename>&)>;

// Renames every checked MP3 file of the folder to the name composed from its
// own tag, numbered by the count of checked MP3 items so far. With more
// `formats`, the checked audio files of those formats take part the same
// way, each new name ending in its file's own extension. Files without
// a tag keep their names but take a number. `afterItem` runs after every
// checked item with the count renamed so far; the run stops at the first
// failure, leaving earlier renames done and later files untouched. The
// tags are read before the first rename, concurrently.
RenameRunResult runRename(const std::string& folder, const std::vector<RunItem>& items, const NameOptions& options,
    const std::function<void(int renamed)>& afterItem, TagSource source = TagSource::Id3v1,
    const BeforeRenames& beforeRenames = {}, AudioFormats formats = AudioFormats::only(AudioFormat::Mp3));

} // namespace zentrio
