#include "cli/output.h"

#include "platform/filenames.h"
#include "platform/fsops.h"

#include <QJsonDocument>

#include <csignal>
#include <ctime>
#include <cstdio>
#include <unistd.h>

namespace zentrio::cli {

std::atomic<bool> interrupted { false };

namespace {

void onInterrupt(int)
{
    interrupted.store(true);
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace

void installInterruptHandler()
{
    struct sigaction action { };
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESTART; // a write or sync in flight goes on; the run stops at its next step
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool stdoutIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

void writeRecord(std::string_view text, bool nul)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc(nul ? '\0' : '\n', stdout);
}

void writeText(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void writeJson(const QJsonObject& object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    writeRecord(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
}

void complain(std::string_view text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "zentrio-cli: %.*s\n", static_cast<int>(text.size()), text.data());
}

void tell(std::string_view text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

void putPath(QJsonObject& object, const QString& key, const std::string& path)
{
    object.insert(key, nameForDisplay(path));
    if (!isValidUtf8(path))
        object.insert(key + "_hex", QString::fromLatin1(QByteArray::fromStdString(path).toHex()));
}

std::string fieldText(const QString& value)
{
    std::string text = value.toStdString();
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return text;
}

void PathDisplay::addBase(std::string absolute, std::string shownAs)
{
    m_bases.push_back({ std::move(absolute), std::move(shownAs) });
}

void PathDisplay::setTarget(std::string absolute, std::string given)
{
    m_target = Base { std::move(absolute), std::move(given) };
}

std::optional<std::string> PathDisplay::below(const std::string& path, const Base& base)
{
    const std::string prefix = folderPath(base.absolute);
    if (!path.starts_with(prefix) || path.size() == prefix.size())
        return std::nullopt;
    const std::string relative = path.substr(prefix.size());
    return base.shownAs.empty() ? relative : joinPath(base.shownAs, relative);
}

std::string PathDisplay::show(const std::string& path, std::size_t base) const
{
    if (base < m_bases.size()) {
        if (auto shown = below(path, m_bases[base]))
            return *shown;
    }
    if (m_target) {
        if (auto shown = below(path, *m_target))
            return *shown;
    }
    return path;
}

Progress::Progress(bool enabled)
    : m_enabled(enabled && stderrIsTerminal())
    , m_start(std::chrono::steady_clock::now())
{
}

Progress::~Progress()
{
    clear();
}

void Progress::update(const char* what, std::size_t done, std::size_t total)
{
    if (!m_enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (what != m_what) {
        m_what = what;
        m_start = now;
    } else if (now - m_last < std::chrono::milliseconds(100) && done != total) {
        return;
    }
    m_last = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    std::fprintf(stderr, "\r\033[K%s %zu/%zu files, %.0f files/s", what, done, total,
        seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    m_shown = true;
}

void Progress::clear()
{
    if (m_shown)
        std::fprintf(stderr, "\r\033[K");
    m_shown = false;
}

PathDisplay displayForArguments(const std::vector<std::string>& given, const std::vector<std::string>& absolute)
{
    PathDisplay display;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const bool folder = fs::isFolder(absolute[i]);
        const std::string shown = folder ? given[i] : given[i].substr(0, given[i].rfind('/') + 1);
        std::string base = folder ? absolute[i] : absolute[i].substr(0, absolute[i].rfind('/'));
        display.addBase(base, shown.empty() ? std::string() : shown);
    }
    return display;
}

std::string timeText(std::int64_t seconds)
{
    if (seconds == 0)
        return "(no time)";
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local {};
    char text[32] = "";
    if (::localtime_r(&time, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace zentrio::cli
