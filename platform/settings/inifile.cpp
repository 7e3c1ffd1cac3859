#include "platform/settings/inifile.h"

#include <QList>

namespace zentrio {

namespace {

    const QByteArray kByteOrderMark("\xEF\xBB\xBF");

    bool isComment(const QByteArray& trimmed) { return trimmed.startsWith(';') || trimmed.startsWith('#'); }

} // namespace

IniFile IniFile::parse(const QByteArray& content)
{
    IniFile file;
    QByteArray text = content;
    if (text.startsWith(kByteOrderMark)) {
        file.m_byteOrderMark = true;
        text.remove(0, kByteOrderMark.size());
    }
    const int firstBreak = static_cast<int>(text.indexOf('\n'));
    file.m_crlf = firstBreak > 0 && text.at(firstBreak - 1) == '\r';

    QList<QByteArray> rawLines = text.split('\n');
    if (!rawLines.isEmpty() && rawLines.back().isEmpty())
        rawLines.removeLast();
    for (QByteArray raw : rawLines) {
        while (raw.endsWith('\r'))
            raw.chop(1);
        Line line;
        const QByteArray trimmed = raw.trimmed();
        const int equals = static_cast<int>(raw.indexOf('='));
        if (trimmed.startsWith('[') && trimmed.endsWith(']') && trimmed.size() >= 2) {
            line.kind = Line::Kind::Section;
            line.text = trimmed.mid(1, trimmed.size() - 2);
        } else if (equals > 0 && !isComment(trimmed)) {
            line.kind = Line::Kind::Entry;
            line.text = raw.left(equals);
            line.value = raw.mid(equals + 1);
        } else {
            line.text = raw;
        }
        file.m_lines.push_back(line);
    }
    return file;
}

std::optional<QByteArray> IniFile::value(const QByteArray& section, const QByteArray& key) const
{
    bool inSection = false;
    for (const Line& line : m_lines) {
        if (line.kind == Line::Kind::Section)
            inSection = line.text == section;
        else if (inSection && line.kind == Line::Kind::Entry && line.text == key)
            return line.value;
    }
    return std::nullopt;
}

int IniFile::endOfSection(const QByteArray& section) const
{
    int end = -1;
    bool inSection = false;
    for (int i = 0; i < static_cast<int>(m_lines.size()); ++i) {
        const Line& line = m_lines[static_cast<size_t>(i)];
        if (line.kind == Line::Kind::Section) {
            if (end >= 0)
                return end;
            inSection = line.text == section;
            if (inSection)
                end = i + 1;
        } else if (inSection && line.kind == Line::Kind::Entry) {
            end = i + 1;
        }
    }
    return end;
}

void IniFile::clearSection(const QByteArray& section)
{
    bool inSection = false;
    std::erase_if(m_lines, [&](const Line& line) {
        if (line.kind == Line::Kind::Section)
            inSection = line.text == section;
        return inSection && line.kind == Line::Kind::Entry;
    });
}

bool IniFile::setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    if (value.contains('\n') || value.contains('\r') || key.isEmpty() || key.contains('=') || key.contains('\n')
        || section.contains('\n'))
        return false;
    bool inSection = false;
    for (Line& line : m_lines) {
        if (line.kind == Line::Kind::Section)
            inSection = line.text == section;
        else if (inSection && line.kind == Line::Kind::Entry && line.text == key) {
            line.value = value;
            return true;
        }
    }
    Line entry { Line::Kind::Entry, key, value };
    const int end = endOfSection(section);
    if (end >= 0) {
        m_lines.insert(m_lines.begin() + end, entry);
        return true;
    }
    if (!m_lines.empty() && !m_lines.back().text.trimmed().isEmpty())
        m_lines.push_back(Line { Line::Kind::Other, {}, {} });
    m_lines.push_back(Line { Line::Kind::Section, section, {} });
    m_lines.push_back(entry);
    return true;
}

std::vector<IniFile::Entry> IniFile::entries() const
{
    std::vector<Entry> out;
    QByteArray section;
    for (const Line& line : m_lines) {
        if (line.kind == Line::Kind::Section)
            section = line.text;
        else if (line.kind == Line::Kind::Entry)
            out.push_back({ section, line.text, line.value });
    }
    return out;
}

QByteArray IniFile::serialize() const
{
    const QByteArray lineEnd = m_crlf ? "\r\n" : "\n";
    QByteArray out = m_byteOrderMark ? kByteOrderMark : QByteArray();
    for (const Line& line : m_lines) {
        switch (line.kind) {
        case Line::Kind::Section:
            out += '[' + line.text + ']';
            break;
        case Line::Kind::Entry:
            out += line.text + '=' + line.value;
            break;
        case Line::Kind::Other:
            out += line.text;
            break;
        }
        out += lineEnd;
    }
    return out;
}

} // namespace zentrio
