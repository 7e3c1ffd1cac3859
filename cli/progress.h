#pragma once

#include <chrono>
#include <cstddef>

namespace zentrio::cli {

// "reading 1200/3000 files, 5400 files/s" on stderr, redrawn at most ten
// times a second; only on a terminal that understands the redraw (TERM set
// and not "dumb"), never with --json, and not before a count is known.
class Progress {
public:
    explicit Progress(bool enabled);
    ~Progress();
    void update(const char* what, std::size_t done, std::size_t total);
    void clear();

private:
    bool m_enabled;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
    const char* m_what = nullptr;
};

} // namespace zentrio::cli
