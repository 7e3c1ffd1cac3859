#include "tags/query/querymatch.h"

#include "platform/fs/filenames.h"
#include "tags/read/audiofile.h"

#include <algorithm>
#include <array>

namespace zentrio {

namespace {

    bool isAscii(const QString& text)
    {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    }

    // The file's values, each made only when a term asks for it.
    class FileValues {
    public:
        FileValues(const TagFields& tag, std::string_view path)
            : m_tag(tag)
            , m_path(path)
        {
        }

        QString of(QueryField field) const
        {
            switch (field) {
            case QueryField::Song: return m_tag.song;
            case QueryField::Artist: return m_tag.artist;
            case QueryField::Album: return m_tag.album;
            case QueryField::Track: return m_tag.track;
            case QueryField::Tracks: return m_tag.tracks;
            case QueryField::Disc: return m_tag.disc;
            case QueryField::Discs: return m_tag.discs;
            case QueryField::Year: return m_tag.year;
            case QueryField::Genre: return m_tag.genre;
            case QueryField::AlbumArtist: return m_tag.albumArtist;
            case QueryField::Path: return nameToText(m_path);
            case QueryField::Name: return nameToText(baseOf(m_path));
            case QueryField::Folder: return nameToText(parentOf(m_path));
            case QueryField::Extension: {
                const std::string name = baseOf(m_path);
                const auto dot = name.rfind('.');
                return dot == std::string::npos ? QString() : nameToText(std::string_view(name).substr(dot + 1));
            }
            case QueryField::Format: {
                const auto format = audioFormatOf(baseOf(m_path));
                return format ? QLatin1String(formatName(*format)) : QString();
            }
            case QueryField::AnyText:
                break;
            }
            return {};
        }

    private:
        const TagFields& m_tag;
        std::string_view m_path;
    };

    // The text with each surrogate that pairs with none (a file name's byte
    // that is not UTF-8) as U+FFFD: a regular expression finds no match at
    // all in text that is not valid UTF-16.
    QString validUtf16(QString text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                text[i] = QChar::ReplacementCharacter;
        }
        return text;
    }

    bool holdsFor(const QueryTerm& term, const QString& value)
    {
        switch (term.test) {
        case QueryTerm::Test::Contains:
            // ASCII has no accents to drop: compared in place, nothing folded.
            return isAscii(value) ? value.contains(term.text, Qt::CaseInsensitive)
                                  : foldedText(value).contains(term.text);
        case QueryTerm::Test::Exact:
            return value == term.text;
        case QueryTerm::Test::Regex:
            return term.regex.match(validUtf16(value)).hasMatch();
        case QueryTerm::Test::Empty:
            return value.isEmpty();
        case QueryTerm::Test::Number: {
            const auto number = leadingNumber(value);
            return number && (!term.low || *number >= *term.low) && (!term.high || *number <= *term.high);
        }
        }
        return false;
    }

    bool isPlaceField(QueryField field)
    {
        return field == QueryField::Path || field == QueryField::Name || field == QueryField::Folder
            || field == QueryField::Extension || field == QueryField::Format;
    }

    bool holds(const QueryTerm& term, const FileValues& file)
    {
        static constexpr std::array kAnyText { QueryField::Artist, QueryField::Album, QueryField::Song,
            QueryField::AlbumArtist };
        const auto holdsIn = [&](QueryField field) { return holdsFor(term, file.of(field)); };
        const bool found = term.field == QueryField::AnyText
            ? std::any_of(kAnyText.begin(), kAnyText.end(), holdsIn)
            : holdsIn(term.field);
        return found != term.negated;
    }

} // namespace

QString foldedText(const QString& text)
{
    if (isAscii(text))
        return text.toLower();
    QString decomposed = text.normalized(QString::NormalizationForm_D);
    decomposed.removeIf([](QChar c) {
        const QChar::Category category = c.category();
        return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing;
    });
    return decomposed.toCaseFolded();
}

std::optional<std::int64_t> leadingNumber(const QString& text)
{
    std::int64_t number = 0;
    qsizetype digits = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9' || digits == 18)
            break;
        number = number * 10 + (c.unicode() - u'0');
        ++digits;
    }
    return digits > 0 ? std::optional(number) : std::nullopt;
}

bool placeRulesOut(const Query& query, std::string_view path)
{
    static const TagFields noTag;
    const FileValues file(noTag, path);
    const auto fails = [&](const QueryTerm& term) { return isPlaceField(term.field) && !holds(term, file); };
    return std::any_of(query.all.begin(), query.all.end(), [&](const QueryAlternatives& alternatives) {
        return std::all_of(alternatives.begin(), alternatives.end(), fails);
    });
}

bool matchesQuery(const Query& query, const TagFields& tag, std::string_view path)
{
    const FileValues file(tag, path);
    return std::all_of(query.all.begin(), query.all.end(), [&](const QueryAlternatives& alternatives) {
        return std::any_of(
            alternatives.begin(), alternatives.end(), [&](const QueryTerm& term) { return holds(term, file); });
    });
}

} // namespace zentrio
