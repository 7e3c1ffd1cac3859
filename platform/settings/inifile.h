#pragma once

#include <QByteArray>
#include <optional>
#include <vector>

namespace zentrio {

// A hand-editable settings file: "[section]" lines and "key=value" lines. The
// key is the text before the first "=", the value everything after it to the
// end of the line, byte for byte (blanks, commas, semicolons, quotes and
// backslashes included). Lines it does not understand, comments among them,
// are kept as they are when the file is written back, and so are the line
// ending style and a leading UTF-8 byte-order mark.
class IniFile {
public:
    static IniFile parse(const QByteArray& content);

    std::optional<QByteArray> value(const QByteArray& section, const QByteArray& key) const;

    // Replaces the first such key of the section, or adds it at the end of
    // the section (and the section at the end of the file when it is new).
    // A value holding a line break cannot be stored and is refused.
    bool setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value);

    // Removes every entry of the section (its header and the lines around
    // it stay), so that setValue then builds it anew.
    void clearSection(const QByteArray& section);

    QByteArray serialize() const;

    struct Entry {
        QByteArray section;
        QByteArray key;
        QByteArray value;
    };
    // Every key=value line with the section it stands in, in file order.
    std::vector<Entry> entries() const;

private:
    struct Line {
        enum class Kind { Section, Entry, Other } kind = Kind::Other;
        QByteArray text; // whole line for Other, name for Section, key for Entry
        QByteArray value;
    };

    // Index of the line where the section's block ends (one past its last
    // entry or header), or -1 when the section is absent.
    int endOfSection(const QByteArray& section) const;

    std::vector<Line> m_lines;
    bool m_byteOrderMark = false;
    bool m_crlf = false;
};

} // namespace zentrio
