#include "cli/output.h"

#include "platform/fs/filenames.h"

#include <QJsonDocument>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace zentrio::cli {

std::atomic<bool> interrupted { false };

namespace {

void onInterrupt(int)
{
    interrupted.store(true);
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

namespace {

// A message is one line that no terminal takes for a command: a control
// character that reached it unquoted (inside a reason the core wrote, say)
// is shown as "?", as ls -q shows one.
std::string messageLine(std::string_view text)
{
    std::string line(text);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x20 || c == 0x7F) {
            line[i] = '?';
        } else if (c == 0xC2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) <= 0x9F
            && static_cast<unsigned char>(line[i + 1]) >= 0x80) {
            line.replace(i, 2, "?"); // a C1 control
        }
    }
    return line;
}

} // namespace

void complain(std::string_view text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "zentrio-cli: %s\n", messageLine(text).c_str());
}

void tell(std::string_view text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", messageLine(text).c_str());
}

std::string fieldText(const QString& value)
{
    std::string text;
    appendFieldText(text, value);
    return text;
}

void appendFieldText(std::string& line, const QString& value)
{
    // A listing writes thousands of fields, most of them ASCII: those go
    // in as they are, without a UTF-8 copy made first.
    const bool ascii = std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c.unicode() < 0x80; });
    const std::size_t start = line.size();
    if (ascii) {
        line.resize(start + static_cast<std::size_t>(value.size()));
        std::transform(value.cbegin(), value.cend(), line.begin() + static_cast<std::ptrdiff_t>(start),
            [](QChar c) { return c.unicode() < 0x20 ? ' ' : static_cast<char>(c.unicode()); });
        return;
    }
    const QByteArray utf8 = value.toUtf8();
    line.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    for (std::size_t i = start; i < line.size(); ++i) {
        if (static_cast<unsigned char>(line[i]) < 0x20)
            line[i] = ' ';
    }
}

std::string counted(std::size_t count, std::string_view noun)
{
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string oneLine(std::string_view text)
{
    std::string line(text);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return line;
}

namespace {

// The length of the UTF-8 sequence at `at` that stands for a character a
// terminal shows; 0 for a control character (C0, DEL, C1) or a byte that
// begins no valid sequence.
std::size_t printableLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned lead = byte(at);
    if (lead < 0x80)
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    // The second byte's range also refuses overlong forms, surrogates and code points past U+10FFFF.
    const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (length == 0 || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    if (lead == 0xC2 && byte(at + 1) <= 0x9F)
        return 0; // U+0080..U+009F, the C1 controls (CSI among them)
    return length;
}

// A byte inside $'...': the escapes of C, else three octal digits.
std::string escapedByte(unsigned char c)
{
    static const char named[] = "abtnvfr"; // 7 to 13
    if (c >= 7 && c <= 13)
        return { '\\', named[c - 7] };
    char octal[5];
    std::snprintf(octal, sizeof octal, "\\%03o", c);
    return octal;
}

} // namespace

std::string shellQuoted(std::string_view name)
{
    bool plain = true;
    for (std::size_t at = 0; at < name.size() && plain;) {
        const std::size_t length = printableLength(name, at);
        plain = length > 0;
        at += length;
    }
    if (plain)
        return std::string(name);
    std::string quoted = "'";
    bool escaping = false; // inside $'...'
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = printableLength(name, at);
        if (length == 0) {
            quoted += escaping ? "" : "'$'";
            escaping = true;
            quoted += escapedByte(static_cast<unsigned char>(name[at++]));
            continue;
        }
        if (name[at] == '\'')
            quoted += "'\\''"; // ends '...' or $'...' alike, then opens '...' again
        else
            quoted += (escaping ? "''" : "") + std::string(name.substr(at, length));
        escaping = false;
        at += length;
    }
    return quoted + "'";
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
