#include "cli/progress.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace zentrio::cli {

namespace {

// The line is redrawn by "\r" and erased by "\033[K": a terminal without a
// TERM, or one that says it is dumb (an editor's shell buffer), would show
// the codes themselves.
bool stderrRedraws()
{
    const char* term = std::getenv("TERM");
    return ::isatty(STDERR_FILENO) == 1 && term && *term && std::strcmp(term, "dumb") != 0;
}

} // namespace

Progress::Progress(bool enabled)
    : m_enabled(enabled && stderrRedraws())
    , m_start(std::chrono::steady_clock::now())
{
}

Progress::~Progress()
{
    clear();
}

void Progress::update(const char* what, std::size_t done, std::size_t total)
{
    if (!m_enabled || total == 0)
        return; // nothing counted yet
    const auto now = std::chrono::steady_clock::now();
    if (what != m_what) {
        m_what = what;
        m_start = now;
    } else if (now - m_last < std::chrono::milliseconds(100) && done != total) {
        return;
    }
    m_last = now;
    std::fprintf(stderr, "\r\033[K%s %zu/%zu files", what, done, total);
    // A rate is said once it means something: not over the first instants.
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    if (seconds >= 0.5)
        std::fprintf(stderr, ", %.0f files/s", static_cast<double>(done) / seconds);
    m_shown = true;
}

void Progress::clear()
{
    if (m_shown)
        std::fprintf(stderr, "\r\033[K");
    m_shown = false;
}

} // namespace zentrio::cli
