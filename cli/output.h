#pragma once

#include "cli/pathdisplay.h"
#include "cli/progress.h"
#include "platform/fs/jsonpath.h"

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

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

// The text of a tag field made fit for a tab-separated line.
std::string fieldText(const QString& value);
// The same, appended to `line`.
void appendFieldText(std::string& line, const QString& value);
// "1 file", "2 files": a count and its noun, "s" added past one.
std::string counted(std::size_t count, std::string_view noun);
// The bytes with each control character (below 0x20) made a blank, so that
// a record of a line-based format stays one line.
std::string oneLine(std::string_view text);

// A name made fit to read on a terminal and to give back to a shell. A name
// holding a character no terminal shows (a control character, DEL, a C1
// control, a byte that is not UTF-8) is quoted as GNU ls quotes by default:
// printable runs in '...', the others in $'...' ('a'$'\n''b', ''$'\033''[1m').
// Any other name stays as it is, blanks and all.
std::string shellQuoted(std::string_view name);

// A journal's time in seconds as local "YYYY-MM-DD HH:MM:SS"; "(no time)"
// for a record that kept none.
std::string timeText(std::int64_t seconds);

} // namespace zentrio::cli
