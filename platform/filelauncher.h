#pragma once

#include <string>

namespace zentrio {

// Opens a file in the program the desktop associates with its type, without
// waiting for it.
class FileLauncher {
public:
    virtual ~FileLauncher() = default;
    // False when the launch could not be started.
    virtual bool open(const std::string& path) = 0;
};

// The desktop's opener, reached through a file URL: the path travels as one
// argument, byte for byte, and never through a shell.
class DesktopFileLauncher final : public FileLauncher {
public:
    bool open(const std::string& path) override;
};

} // namespace zentrio
