#pragma once

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What zentrio-cli writes: records of text ended by a newline or a NUL,
// JSON objects one per line, messages on stderr, and a progress line on
// stderr that only a terminal gets.
namespace zentrio::cli {

// Set by Ctrl-C (SIGINT) and SIGTERM once installInterruptHandler ran.
extern std::atomic<bool> interrupted;
void installInterruptHandler();

bool stdoutIsTerminal();

// A record on stdout, ended by a newline or, with `nul`, a NUL.
void writeRecord(std::string_view text, bool nul = false);
// Text on stdout as it is (records already ended).
void writeText(std::string_view text);
// One JSON object on one line of stdout.
void writeJson(const QJsonObject& object);
// "zentrio-cli: " and the text on stderr.
void complain(std::string_view text);
// A line on stderr as it is.
void tell(std::string_view text);

// A path in a JSON object: as text (bytes that are not UTF-8 shown as
// U+FFFD) and, when it is not valid UTF-8, its bytes as hex under KEY_hex.
void putPath(QJsonObject& object, const QString& key, const std::string& path);

// The text of a tag field made fit for a tab-separated line.
std::string fieldText(const QString& value);

// A journal's time in seconds as local "YYYY-MM-DD HH:MM:SS"; "(no time)"
// for a record that kept none.
std::string timeText(std::int64_t seconds);

// How paths are shown: under the path given on the command line they were
// reached from (relative to it, or below it as it was given), else under
// the --to folder as it was given, else whole.
class PathDisplay {
public:
    // `shownAs` empty: paths below `absolute` are shown relative to it.
    void addBase(std::string absolute, std::string shownAs = {});
    void setTarget(std::string absolute, std::string given);
    std::string show(const std::string& path, std::size_t base = 0) const;

private:
    struct Base {
        std::string absolute;
        std::string shownAs;
    };
    static std::optional<std::string> below(const std::string& path, const Base& base);
    std::vector<Base> m_bases;
    std::optional<Base> m_target;
};

// Paths as they are reached from the paths given on the command line
// ("Music/Artist/a.mp3"): `given` as typed, `absolute` as absolutePaths made them.
PathDisplay displayForArguments(const std::vector<std::string>& given, const std::vector<std::string>& absolute);

// "reading 1200/3000 files, 5400 files/s" on stderr, redrawn at most ten
// times a second; only on a terminal, and never with --json.
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
