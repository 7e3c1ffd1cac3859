#pragma once

// zentrio-cli tag set -r over the 3000-file folder of "from file name"
// (ID3v2 tags with room, so every write is in place): a real run of the
// built program on a fresh copy of the folder each repetition, against the
// same writes made durable the cheapest correct way.

namespace bench {

void commandLineTagSet(int repetitions);

} // namespace bench
