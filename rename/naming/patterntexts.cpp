#include "rename/naming/patterntexts.h"

namespace zentrio {

namespace {

    constexpr PatternText kPatternTexts[] = {
        { "opatternerror", "the pattern cannot be read at character %1: %2" },
        { "eunknownfield", "unknown field" },
        { "eunknownmodifier", "unknown modifier" },
        { "eunclosedbrace", "\"{\" is not closed" },
        { "eunclosedbracket", "\"[\" is not closed" },
        { "estraybrace", "\"}\" without \"{\"" },
        { "estraybracket", "\"]\" without \"[\"" },
        { "ebackslash", "\"\\\" at the end" },
        { "etoolong", "more than %1 characters" },
        { "eemptypart", "nothing between two \"/\"" },
        { "efallbackmatch", "\"|\" cannot be read back from a name" },
        { "eunclosedquote", "a '\"' is not closed" },
        { "eblankpart", "a folder or name of blanks alone" },
        { "edotpart", "\".\" or \"..\" names no folder" },
    };

} // namespace

std::span<const PatternText> patternTexts()
{
    return kPatternTexts;
}

QString englishPatternText(const QString& key)
{
    for (const PatternText& text : kPatternTexts) {
        if (key == QLatin1String(text.key))
            return QString::fromLatin1(text.english);
    }
    return {};
}

} // namespace zentrio
