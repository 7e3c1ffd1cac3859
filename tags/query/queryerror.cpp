#include "tags/query/queryparse.h"

namespace zentrio {

QString queryErrorText(const QueryError& error)
{
    QString reason;
    switch (error.reason) {
    case QueryError::Reason::Empty:
        return QStringLiteral("the query is empty");
    case QueryError::Reason::UnknownField:
        reason = QStringLiteral("unknown field \"%1\" (the fields: %2)")
                     .arg(error.detail, queryFieldNames().join(QStringLiteral(", ")));
        break;
    case QueryError::Reason::UnclosedQuote:
        reason = QStringLiteral("the quote is not closed");
        break;
    case QueryError::Reason::MissingTerm:
        reason = QStringLiteral("a term is missing here");
        break;
    case QueryError::Reason::BadRegex:
        reason = QStringLiteral("the regular expression cannot be read: ") + error.detail;
        break;
    case QueryError::Reason::BadRange:
        reason = QStringLiteral("a range needs a number on at least one side of \"..\"");
        break;
    case QueryError::Reason::EmptyRange:
        reason = QStringLiteral("the range starts past its end");
        break;
    case QueryError::Reason::NumberTooLarge:
        reason = QStringLiteral("the number is too large");
        break;
    }
    return QStringLiteral("the query cannot be read at character %1: %2").arg(error.position + 1).arg(reason);
}

} // namespace zentrio
