#include "rename/naming/compose.h"

#include "platform/fs/filenames.h"
#include "tags/read/fixedwidth.h"

namespace zentrio {

namespace {

    // The pattern's name with the file's ending (".mp3" unless the options
    // name the file's own).
    QString baseName(const TagFields& tag, const NameOptions& o, int number)
    {
        const QString& sep = o.separator;
        const QString& ext = o.extension;
        switch (o.pattern) {
        case Pattern::Song:
            return tag.song + ext;
        case Pattern::ArtistSong:
            return tag.artist + sep + tag.song + ext;
        case Pattern::ArtistAlbumSong:
            return tag.artist + sep + tag.album + sep + tag.song + ext;
        case Pattern::AlbumSong:
            return tag.album + sep + tag.song + ext;
        case Pattern::SongParenArtist:
            return tag.song + " (" + tag.artist + ")" + ext;
        case Pattern::SongByArtist:
            return tag.song + " by " + tag.artist + ext;
        case Pattern::Track:
            return (number < 10 ? QStringLiteral("TRACK0") : QStringLiteral("TRACK")) + QString::number(number) + ext;
        case Pattern::Own:
            break; // composed by its pattern
        }
        return tag.song + ext;
    }

    // A NUL would end the name where the file system reads it, so it goes too.
    QChar safeCharacter(QChar c, const NameOptions& options)
    {
        if (c == u'/' || c == u'\\' || c == QChar(0))
            return u'_';
        if (c == u'&' && options.ampersandToN)
            return u'n';
        if (options.noSpace && c == u' ')
            return u'_';
        return c;
    }

    QChar foldedO(QChar c)
    {
        switch (c.unicode()) {
        case 0x00D5:
            return QChar(0x00D6);
        case 0x00F4:
        case 0x00F5:
            return QChar(0x00F6);
        default:
            return c;
        }
    }

    QChar withoutAccent(QChar c)
    {
        switch (c.unicode()) {
        case 0x00D3:
        case 0x00D5:
        case 0x00D6:
            return u'O';
        case 0x00C1:
            return u'A';
        case 0x00DA:
        case 0x00DB:
            return u'U';
        case 0x00CD:
            return u'I';
        case 0x00C9:
            return u'E';
        case 0x00F3:
        case 0x00F4:
        case 0x00F5:
        case 0x00F6:
            return u'o';
        case 0x00ED:
            return u'i';
        case 0x00E1:
            return u'a';
        case 0x00E9:
            return u'e';
        case 0x00FA:
        case 0x00FB:
        case 0x00FC:
            return u'u';
        default:
            return c;
        }
    }

    // The table's result for its letters; any other Latin or Greek letter
    // whose canonical decomposition is one letter and accents ("ő", "ä",
    // "ñ", "ά") becomes that letter. Other scripts keep theirs: their marks
    // make other letters ("й", "が"), not accented ones.
    QChar withoutAnyAccent(QChar c)
    {
        const QChar designed = withoutAccent(c);
        if (designed != c || !c.isLetter() || (c.script() != QChar::Script_Latin && c.script() != QChar::Script_Greek))
            return designed;
        const QString parts = QString(c).normalized(QString::NormalizationForm_D);
        if (parts.size() < 2 || !parts.at(0).isLetter())
            return c;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            if (parts.at(i).category() != QChar::Mark_NonSpacing)
                return c;
        }
        return parts.at(0);
    }

    // `name` is a new name without its ending (".mp3"). A name that begins with "." is hidden on this platform: the file would
    // vanish from the list after its rename.
    void unhide(QString& name)
    {
        if (name.isEmpty())
            name = QStringLiteral("_"); // the name would be its ending alone
        else if (name.startsWith(u'.'))
            name[0] = u'_';
    }

    // Cuts the part between prefix and suffix at a character boundary until
    // the whole name fits the file system's limit in bytes.
    QString fitted(const QString& prefix, QString body, const QString& suffix)
    {
        // A UTF-16 unit takes at most three bytes on disk (a pair of them
        // four): a name that short fits without being converted.
        const qsizetype units = prefix.size() + body.size() + suffix.size();
        if (units * 3 <= static_cast<qsizetype>(kMaxNameBytes))
            return prefix.isEmpty() && suffix.isEmpty() ? body : prefix + body + suffix;
        const auto size = [&] { return textToName(prefix + body + suffix).size(); };
        if (size() <= kMaxNameBytes)
            return prefix + body + suffix;
        qsizetype low = 0; // the longest cut known to fit
        qsizetype high = body.size(); // the shortest cut known not to fit
        while (high - low > 1) {
            const qsizetype middle = (low + high) / 2;
            if (textToName(prefix + body.left(middle) + suffix).size() <= kMaxNameBytes)
                low = middle;
            else
                high = middle;
        }
        if (low > 0 && body.at(low - 1).isHighSurrogate())
            --low;
        return prefix + body.left(low) + suffix;
    }

    template <typename Map> void replaceEach(QString& name, Map map)
    {
        for (QChar& c : name)
            c = map(c);
    }

    // The character passes every pattern's name takes, in their order. The
    // name is composed (NFC) first, so an accent typed as a letter and a
    // combining mark is folded like the one letter, and again at the end, as
    // a pass may give a letter a mark composes with: a new name is always in
    // the one form, whatever form its tag's text was in.
    void applyPasses(QString& name, const NameOptions& options)
    {
        name = name.normalized(QString::NormalizationForm_C);
        replaceEach(name, [&](QChar c) { return safeCharacter(c, options); });
        if (options.foldO)
            replaceEach(name, foldedO);
        if (options.noAccent)
            replaceEach(name, options.foldEveryAccent ? withoutAnyAccent : withoutAccent);
        name = name.normalized(QString::NormalizationForm_C);
    }

} // namespace

NameOptions withRunWidths(NameOptions options, const std::vector<const TagFields*>& tags)
{
    if (options.pattern == Pattern::Own)
        options.widths = widestNumbers(tags);
    return options;
}

QString composeNewName(const TagFields& tag, const NameOptions& options, int number)
{
    const bool own = options.pattern == Pattern::Own;
    if (own) {
        if (!options.own || !options.own->ok())
            return {};
        return composePathComponent(
            formatPattern(options.own->parts, tag, { number, options.separator, options.widths }), options, true);
    }
    const QString& ending = options.extension;
    QString name = baseName(tag, options, number);
    applyPasses(name, options);
    if (!name.endsWith(ending))
        name += ending;
    name.chop(ending.size());
    if (!options.numbered) {
        unhide(name);
        return fitted(QString(), name, ending);
    }
    return fitted((number < 10 ? QStringLiteral("0") : QString()) + QString::number(number) + '-', name, ending);
}

QString composePathComponent(const QString& text, const NameOptions& options, bool fileName)
{
    QString name = trimSpaces(text);
    if (name.isEmpty())
        return {};
    applyPasses(name, options);
    unhide(name);
    return fitted(QString(), name, fileName ? options.extension : QString());
}

QString kiegeszit(const QString& text, int width)
{
    return fittedToWidth(text, width);
}

} // namespace zentrio
