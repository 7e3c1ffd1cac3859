#pragma once

#include <string>
#include <vector>

// A shared module of the program's own, opened as a file when the program
// starts and loaded from that open file when it is first needed: an
// upgrade that replaces the module on disk while the program runs never
// hands the running program the new one.
namespace zentrio::fs {

// The folder of the running program, ending in "/"; empty when the system
// does not say.
std::string programFolder();

class SharedModule {
public:
    // The first of `paths` that opens; `why` tells each that did not.
    static SharedModule openFirst(const std::vector<std::string>& paths);

    bool isOpen() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }
    const std::string& why() const { return m_why; }
    // The module's function `symbol`, the module loaded and every symbol it
    // needs bound on the first call; nullptr with `why` when it cannot be.
    void* function(const char* symbol, std::string& why) const;

private:
    int m_fd = -1; // kept open for the program's life
    std::string m_path;
    std::string m_why;
};

} // namespace zentrio::fs
