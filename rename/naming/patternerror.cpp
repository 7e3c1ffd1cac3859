#include "rename/naming/patternerror.h"

#include "rename/naming/patterntexts.h"

namespace zentrio {

QString patternErrorText(const PatternError& error, const PatternTextOf& textOf)
{
    const char* key = "eunknownfield";
    switch (error.reason) {
    case PatternError::Reason::UnknownField:
        key = "eunknownfield";
        break;
    case PatternError::Reason::UnknownModifier:
        key = "eunknownmodifier";
        break;
    case PatternError::Reason::UnclosedBrace:
        key = "eunclosedbrace";
        break;
    case PatternError::Reason::UnclosedBracket:
        key = "eunclosedbracket";
        break;
    case PatternError::Reason::StrayBrace:
        key = "estraybrace";
        break;
    case PatternError::Reason::StrayBracket:
        key = "estraybracket";
        break;
    case PatternError::Reason::TrailingBackslash:
        key = "ebackslash";
        break;
    case PatternError::Reason::EmptyPart:
        key = "eemptypart";
        break;
    case PatternError::Reason::FallbackInMatch:
        key = "efallbackmatch";
        break;
    case PatternError::Reason::UnclosedQuote:
        key = "eunclosedquote";
        break;
    case PatternError::Reason::BlankPart:
        key = "eblankpart";
        break;
    case PatternError::Reason::DotPart:
        key = "edotpart";
        break;
    case PatternError::Reason::TooLong:
        return textOf(QStringLiteral("opatternerror"))
            .arg(error.position + 1)
            .arg(textOf(QStringLiteral("etoolong")).arg(kMaxPatternLength));
    }
    QString reason = textOf(QString::fromLatin1(key));
    if (!error.name.isEmpty())
        reason += QStringLiteral(" \"") + error.name + u'"';
    return textOf(QStringLiteral("opatternerror")).arg(error.position + 1).arg(reason);
}

QString patternErrorText(const PatternError& error)
{
    return patternErrorText(error, &englishPatternText);
}

} // namespace zentrio
