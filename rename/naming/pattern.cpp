#include "rename/naming/pattern.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace zentrio {

namespace {

    std::optional<PatternField> fieldNamed(const QString& name, PatternUse use)
    {
        for (const PatternFieldName& known : patternFieldNames(use)) {
            if (name == QLatin1String(known.name))
                return known.field;
        }
        return std::nullopt;
    }

    // Reads the pattern from `at` up to the end of the text, or up to the
    // "]" that closes the optional part it is in (`inside`).
    class Parser {
    public:
        Parser(const QString& text, PatternUse use)
            : m_text(text)
            , m_use(use)
        {
        }

        std::vector<PatternPart> parts(bool inside, qsizetype opening = 0)
        {
            std::vector<PatternPart> parts;
            QString literal;
            const auto flush = [&] {
                if (!literal.isEmpty())
                    parts.push_back({ PatternPart::Kind::Literal, std::exchange(literal, {}) });
            };
            while (!m_error && m_at < m_text.size()) {
                const QChar c = m_text.at(m_at);
                if (c == u'\\') {
                    if (m_at + 1 >= m_text.size())
                        return fail(PatternError::Reason::TrailingBackslash, m_at);
                    literal += m_text.at(m_at + 1);
                    m_at += 2;
                } else if (c == u'{') {
                    flush();
                    if (auto field = this->field())
                        parts.push_back(std::move(*field));
                } else if (c == u'[') {
                    flush();
                    const qsizetype start = m_at++;
                    PatternPart group { PatternPart::Kind::Optional };
                    group.parts = this->parts(true, start);
                    parts.push_back(std::move(group));
                } else if (c == u']') {
                    if (!inside)
                        return fail(PatternError::Reason::StrayBracket, m_at);
                    ++m_at;
                    flush();
                    return parts;
                } else if (c == u'}') {
                    return fail(PatternError::Reason::StrayBrace, m_at);
                } else {
                    literal += c;
                    ++m_at;
                }
            }
            if (inside && !m_error)
                return fail(PatternError::Reason::UnclosedBracket, opening);
            flush();
            return parts;
        }

        std::optional<PatternError> error() const { return m_error; }

    private:
        // "{name}", "{name|other|"text"}", either with ":modifier", at m_at.
        std::optional<PatternPart> field()
        {
            const qsizetype start = m_at;
            const qsizetype end = closingBrace(start);
            if (end < 0)
                return std::nullopt;
            m_at = end + 1;
            const QString inner = m_text.mid(start + 1, end - start - 1);
            const qsizetype colon = inner.lastIndexOf(u':');
            const qsizetype names = colon < 0 || colon < inner.lastIndexOf(u'"') ? inner.size() : colon;
            const QStringList alternatives = alternativesOf(inner.left(names));
            if (alternatives.size() > 1 && m_use == PatternUse::Matching) {
                fail(PatternError::Reason::FallbackInMatch, start + 1 + alternatives.front().size());
                return std::nullopt;
            }
            const auto known = fieldNamed(alternatives.front(), m_use);
            if (!known) {
                fail(PatternError::Reason::UnknownField, start, alternatives.front());
                return std::nullopt;
            }
            PatternPart part { PatternPart::Kind::Field };
            part.field = *known;
            qsizetype at = start + 1 + alternatives.front().size();
            for (const QString& alternative : alternatives.mid(1)) {
                ++at; // the "|"
                auto fallback = fallbackPart(alternative, at);
                if (!fallback)
                    return std::nullopt;
                part.parts.push_back(std::move(*fallback));
                at += alternative.size();
            }
            if (names < inner.size() && !applyModifier(part, inner.mid(names + 1))) {
                fail(PatternError::Reason::UnknownModifier, start + 1 + names + 1);
                return std::nullopt;
            }
            return part;
        }

        // The field's name and its fallbacks, split at each "|" outside quotes.
        static QStringList alternativesOf(const QString& names)
        {
            QStringList alternatives { QString() };
            bool quoted = false;
            for (const QChar c : names) {
                if (c == u'|' && !quoted) {
                    alternatives << QString();
                    continue;
                }
                quoted = c == u'"' ? !quoted : quoted;
                alternatives.back() += c;
            }
            return alternatives;
        }

        // The "}" that closes the field at `start`, past any quoted text.
        qsizetype closingBrace(qsizetype start)
        {
            bool quoted = false;
            for (qsizetype at = start + 1; at < m_text.size(); ++at) {
                if (m_text.at(at) == u'"')
                    quoted = !quoted;
                else if (m_text.at(at) == u'}' && !quoted)
                    return at;
            }
            fail(quoted ? PatternError::Reason::UnclosedQuote : PatternError::Reason::UnclosedBrace, start);
            return -1;
        }

        // A fallback: another field, or a text in double quotes.
        std::optional<PatternPart> fallbackPart(const QString& alternative, qsizetype at)
        {
            if (alternative.startsWith(u'"') && alternative.size() >= 2 && alternative.endsWith(u'"')
                && alternative.count(u'"') == 2)
                return PatternPart { PatternPart::Kind::Literal, alternative.mid(1, alternative.size() - 2) };
            const auto known = fieldNamed(alternative, m_use);
            if (!known) {
                fail(PatternError::Reason::UnknownField, at, alternative);
                return std::nullopt;
            }
            PatternPart fallback { PatternPart::Kind::Field };
            fallback.field = *known;
            return fallback;
        }

        static bool applyModifier(PatternPart& part, const QString& modifier)
        {
            if (modifier == QLatin1String("upper"))
                part.letterCase = LetterCase::Upper;
            else if (modifier == QLatin1String("lower"))
                part.letterCase = LetterCase::Lower;
            else if (modifier == QLatin1String("title"))
                part.letterCase = LetterCase::Title;
            else {
                bool number = false;
                const int width = modifier.toInt(&number);
                if (!number || width < 1 || width > 9 || !isNumberField(part.field)
                    || !modifier.at(0).isDigit())
                    return false;
                part.width = width;
            }
            return true;
        }

        std::vector<PatternPart> fail(PatternError::Reason reason, qsizetype position, const QString& name = {})
        {
            if (!m_error)
                m_error = PatternError { reason, position, name };
            return {};
        }

        const QString& m_text;
        PatternUse m_use;
        qsizetype m_at = 0;
        std::optional<PatternError> m_error;
    };

    bool isDigits(const QString& text)
    {
        return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    }

    // A number from the tag with zeros in front to the width; text that is
    // not a number stays as it is.
    QString padded(const QString& number, int width)
    {
        if (!isDigits(number))
            return number;
        QString digits = number;
        while (digits.size() > 1 && digits.startsWith(u'0'))
            digits.remove(0, 1);
        return digits.rightJustified(width, u'0');
    }

    // The width of a track or disc: the forced one, else the width of the
    // tag's total, else the run's widest number; never under `least`.
    int numberWidth(const PatternPart& part, const QString& total, int runWidth, int least)
    {
        if (part.width != 0)
            return part.width;
        if (isDigits(total))
            return std::max(least, static_cast<int>(padded(total, 1).size()));
        return std::max(least, runWidth);
    }

    QString rawValue(const PatternPart& part, const TagFields& tag, const PatternContext& context)
    {
        switch (part.field) {
        case PatternField::Song:
            return tag.song;
        case PatternField::Artist:
            return tag.artist;
        case PatternField::Album:
            return tag.album;
        case PatternField::Track:
            return padded(tag.track, numberWidth(part, tag.tracks, context.widths.track, 2));
        case PatternField::Tracks:
            return padded(tag.tracks, part.width);
        case PatternField::Disc:
            return padded(tag.disc, numberWidth(part, tag.discs, context.widths.disc, 1));
        case PatternField::Discs:
            return padded(tag.discs, part.width);
        case PatternField::Year: {
            static const QRegularExpression fourDigits(QStringLiteral("\\d{4}"));
            return fourDigits.match(tag.year).captured();
        }
        case PatternField::Genre:
            return tag.genre;
        case PatternField::AlbumArtist:
            return tag.albumArtist;
        case PatternField::Number:
            return padded(QString::number(context.number), std::max(2, part.width));
        case PatternField::Separator:
            return context.separator;
        case PatternField::Path:
            return context.place ? context.place->path : QString();
        case PatternField::Name:
            return context.place ? context.place->name : QString();
        case PatternField::Folder:
            return context.place ? context.place->folder : QString();
        case PatternField::Extension:
            return context.place ? context.place->extension : QString();
        case PatternField::Ignore:
            break;
        }
        return {};
    }

    bool isPlaceField(PatternField field)
    {
        return field == PatternField::Path || field == PatternField::Name || field == PatternField::Folder
            || field == PatternField::Extension;
    }

    // Each word begins with a capital; the other letters stay as they are.
    QString titleCased(QString text)
    {
        bool wordStart = true;
        for (QChar& c : text) {
            if (wordStart && c.isLetter())
                c = c.toUpper();
            wordStart = !c.isLetterOrNumber() && c != u'\'';
        }
        return text;
    }

    // The field's value, or its first fallback that is not empty.
    QString firstValue(const PatternPart& part, const TagFields& tag, const PatternContext& context)
    {
        QString value = rawValue(part, tag, context);
        for (auto fallback = part.parts.begin(); value.isEmpty() && fallback != part.parts.end(); ++fallback) {
            if (fallback->kind == PatternPart::Kind::Literal)
                return fallback->text;
            PatternPart alone = *fallback;
            alone.width = isNumberField(alone.field) ? part.width : 0;
            value = rawValue(alone, tag, context);
        }
        return value;
    }

    QString fieldValue(const PatternPart& part, const TagFields& tag, const PatternContext& context)
    {
        QString value = firstValue(part, tag, context);
        const auto unsafe = [](QChar c) { return c == u'/' || c == u'\\' || c.unicode() < 0x20; };
        if (isPlaceField(part.field)) {
            // already as the listing shows paths
        } else if (context.tagText) {
            for (QChar& c : value) {
                if (c.unicode() < 0x20)
                    c = u' ';
            }
        } else if (std::any_of(value.cbegin(), value.cend(), unsafe)) {
            value.replace(u'/', u'-').replace(u'\\', u'-');
            value.removeIf([](QChar c) { return c.unicode() < 0x20; });
        }
        switch (part.letterCase) {
        case LetterCase::Upper:
            return value.toUpper();
        case LetterCase::Lower:
            return value.toLower();
        case LetterCase::Title:
            return titleCased(value);
        case LetterCase::AsIs:
            break;
        }
        return value;
    }

    // The parts' text, or nullopt when a field among them (not one inside a
    // nested optional part) is empty.
    std::optional<QString> formatted(
        const std::vector<PatternPart>& parts, const TagFields& tag, const PatternContext& context, bool optional)
    {
        QString text;
        for (const PatternPart& part : parts) {
            switch (part.kind) {
            case PatternPart::Kind::Literal:
                text += part.text;
                break;
            case PatternPart::Kind::Field: {
                const QString value = fieldValue(part, tag, context);
                if (optional && value.isEmpty())
                    return std::nullopt;
                text += value;
                break;
            }
            case PatternPart::Kind::Optional:
                text += formatted(part.parts, tag, context, true).value_or(QString());
                break;
            }
        }
        return text;
    }

    int digitsOf(const QString& number) { return isDigits(number) ? static_cast<int>(padded(number, 1).size()) : 0; }

} // namespace

bool isNumberField(PatternField field)
{
    switch (field) {
    case PatternField::Track:
    case PatternField::Tracks:
    case PatternField::Disc:
    case PatternField::Discs:
    case PatternField::Number:
        return true;
    default:
        return false;
    }
}

std::vector<PatternFieldName> patternFieldNames(PatternUse use)
{
    static const std::vector<PatternFieldName> names {
        { "song", PatternField::Song, "fsong" },
        { "artist", PatternField::Artist, "fartist" },
        { "album", PatternField::Album, "falbum" },
        { "track", PatternField::Track, "ftrack" },
        { "tracks", PatternField::Tracks, "ftracks" },
        { "disc", PatternField::Disc, "fdisc" },
        { "discs", PatternField::Discs, "fdiscs" },
        { "year", PatternField::Year, "fyear" },
        { "genre", PatternField::Genre, "fgenre" },
        { "albumartist", PatternField::AlbumArtist, "falbumartist" },
        { "n", PatternField::Number, "fn" },
        { "sep", PatternField::Separator, "fsep" },
        { "ignore", PatternField::Ignore, "fignore" },
        { "path", PatternField::Path, "" },
        { "name", PatternField::Name, "" },
        { "folder", PatternField::Folder, "" },
        { "ext", PatternField::Extension, "" },
    };
    const auto allowed = [use](PatternField field) {
        if (isPlaceField(field))
            return use == PatternUse::Listing;
        return field != (use == PatternUse::Matching ? PatternField::Separator : PatternField::Ignore);
    };
    std::vector<PatternFieldName> fields;
    for (const PatternFieldName& name : names) {
        if (allowed(name.field))
            fields.push_back(name);
    }
    return fields;
}

ParsedPattern parsePattern(const QString& text, PatternUse use)
{
    ParsedPattern parsed;
    // Refused before parsing: the parser goes one level deeper for each "[".
    if (text.size() > kMaxPatternLength) {
        parsed.error = PatternError { PatternError::Reason::TooLong, kMaxPatternLength };
        return parsed;
    }
    Parser parser(text, use);
    parsed.parts = parser.parts(false);
    parsed.error = parser.error();
    if (parsed.error)
        parsed.parts.clear();
    if (use == PatternUse::Naming && !parsed.parts.empty() && parsed.parts.back().kind == PatternPart::Kind::Literal
        && parsed.parts.back().text.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) {
        parsed.parts.back().text.chop(4);
        if (parsed.parts.back().text.isEmpty())
            parsed.parts.pop_back();
    }
    return parsed;
}

std::vector<std::pair<qsizetype, qsizetype>> slashParts(const QString& text)
{
    std::vector<std::pair<qsizetype, qsizetype>> parts;
    qsizetype start = 0;
    int braces = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\')
            ++i; // the next character is taken as it is
        else if (c == u'{')
            ++braces;
        else if (c == u'}' && braces > 0)
            --braces;
        else if (c == u'/' && braces == 0) {
            parts.emplace_back(start, i);
            start = i + 1;
        }
    }
    parts.emplace_back(start, text.size());
    return parts;
}

NumberWidths widestNumbers(const std::vector<const TagFields*>& tags)
{
    NumberWidths widths;
    for (const TagFields* tag : tags) {
        widths.track = std::max(widths.track, digitsOf(tag->track));
        widths.disc = std::max(widths.disc, digitsOf(tag->disc));
    }
    return widths;
}

QString formatPattern(const std::vector<PatternPart>& parts, const TagFields& tag, const PatternContext& context)
{
    return formatted(parts, tag, context, false).value_or(QString());
}

bool fieldHasValue(const PatternPart& field, const TagFields& tag)
{
    if (field.width == 0) // a name's every file asks: no copy of the part
        return !fieldValue(field, tag, {}).isEmpty();
    PatternPart plain = field;
    plain.width = 0;
    return !fieldValue(plain, tag, {}).isEmpty();
}

} // namespace zentrio
