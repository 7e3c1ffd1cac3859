#pragma once

#include <string>

// Where Zentrio keeps its state (the journals, the crash copies of in-place
// tag writes): $XDG_STATE_HOME/zentrio, else ~/.local/state/zentrio, with
// the home folder taken from the password database when HOME is unset.
namespace zentrio {

std::string stateDirectory();

// The state folder made ready for writing: created with mode 0700 (parents
// too) and checked to belong to this user, so that no other user can plant
// or read what Zentrio writes there. `error` says why it cannot be used.
struct StateFolder {
    std::string path;
    std::string error; // empty when the folder can be used
    bool ok() const { return error.empty(); }
};
StateFolder ensureStateDirectory();

// The same checks for any folder Zentrio keeps private files in.
StateFolder ensurePrivateFolder(const std::string& folder);

} // namespace zentrio
