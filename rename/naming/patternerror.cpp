#include "rename/naming/patternerror.h"

namespace zentrio {

QString patternErrorText(const PatternError& error, const InterfaceTexts& texts)
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
        return texts.message(QStringLiteral("opatternerror"))
            .arg(error.position + 1)
            .arg(texts.message(QStringLiteral("etoolong")).arg(kMaxPatternLength));
    }
    QString reason = texts.message(QString::fromLatin1(key));
    if (!error.name.isEmpty())
        reason += QStringLiteral(" \"") + error.name + u'"';
    return texts.message(QStringLiteral("opatternerror")).arg(error.position + 1).arg(reason);
}

} // namespace zentrio
