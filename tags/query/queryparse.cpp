#include "tags/query/queryparse.h"

#include "tags/query/querymatch.h"

#include <algorithm>
#include <utility>

namespace zentrio {

namespace {

    bool endsTerm(QChar c) { return c.isSpace() || c == u','; }

    class Parser {
    public:
        explicit Parser(const QString& text)
            : m_text(text)
        {
        }

        ParsedQuery query()
        {
            ParsedQuery parsed;
            skipBlanks();
            while (!m_error && m_at < m_text.size()) {
                QueryAlternatives alternatives { term() };
                skipBlanks();
                while (!m_error && m_at < m_text.size() && m_text.at(m_at) == u',') {
                    const qsizetype comma = m_at++;
                    skipBlanks();
                    alternatives.push_back(term(comma));
                    skipBlanks();
                }
                parsed.query.all.push_back(std::move(alternatives));
            }
            if (!m_error && parsed.query.all.empty())
                fail(QueryError::Reason::Empty, 0);
            parsed.error = m_error;
            if (m_error)
                parsed.query = {};
            return parsed;
        }

    private:
        // A term at m_at; a missing one is said at `after` (the "," before it),
        // at its "-", or where it should begin.
        QueryTerm term(std::optional<qsizetype> after = std::nullopt)
        {
            QueryTerm term;
            qsizetype missingAt = after.value_or(m_at);
            if (m_at < m_text.size() && m_text.at(m_at) == u'-') {
                term.negated = true;
                missingAt = m_at++;
            }
            if (m_at >= m_text.size() || endsTerm(m_text.at(m_at))) {
                fail(QueryError::Reason::MissingTerm, missingAt);
                return term;
            }
            qsizetype end = m_at;
            while (end < m_text.size() && !endsTerm(m_text.at(end)) && m_text.at(end) != u'"' && m_text.at(end) != u':')
                ++end;
            if (end < m_text.size() && m_text.at(end) == u':') {
                const QString name = m_text.mid(m_at, end - m_at);
                const auto field = queryFieldNamed(name);
                if (!field) {
                    fail(QueryError::Reason::UnknownField, m_at, name);
                    return term;
                }
                term.field = *field;
                m_at = end + 1;
                return fieldTerm(std::move(term));
            }
            const qsizetype start = m_at;
            term.text = foldedText(value());
            if (!m_error && term.text.isEmpty())
                fail(QueryError::Reason::MissingTerm, start);
            return term;
        }

        // What follows "field:".
        QueryTerm fieldTerm(QueryTerm term)
        {
            const QChar op = m_at < m_text.size() ? m_text.at(m_at) : QChar();
            if (op == u':' || op == u'=') {
                term.test = op == u':' ? QueryTerm::Test::Regex : QueryTerm::Test::Exact;
                ++m_at;
            }
            const qsizetype start = m_at;
            const QString text = value();
            if (m_error)
                return term;
            if (term.test == QueryTerm::Test::Regex) {
                term.regex = QRegularExpression(text, QRegularExpression::UseUnicodePropertiesOption);
                if (!term.regex.isValid())
                    fail(QueryError::Reason::BadRegex, start + term.regex.patternErrorOffset(),
                        term.regex.errorString());
                else
                    term.regex.optimize(); // compiled here, not by the first of several threads to match
            } else if (text.isEmpty()) {
                term.test = QueryTerm::Test::Empty;
            } else if (term.test == QueryTerm::Test::Exact) {
                term.text = text;
            } else if (isNumberQueryField(term.field) && numbers(term, text, start)) {
                term.test = QueryTerm::Test::Number;
            } else {
                term.text = foldedText(text);
            }
            return term;
        }

        // "1995", "1990..1999", "..9", "2000..": the bounds; false for any other text.
        bool numbers(QueryTerm& term, const QString& text, qsizetype start)
        {
            const qsizetype dots = text.indexOf(QLatin1String(".."));
            const QString low = dots < 0 ? text : text.left(dots);
            const QString high = dots < 0 ? text : text.mid(dots + 2);
            const auto digits = [](const QString& part) {
                return std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
            };
            if (!digits(low) || !digits(high))
                return false;
            if (low.isEmpty() && high.isEmpty()) {
                fail(QueryError::Reason::BadRange, start);
                return true;
            }
            const auto bound = [&](const QString& part, qsizetype at) -> std::optional<std::int64_t> {
                if (part.isEmpty())
                    return std::nullopt;
                if (part.size() > 18)
                    fail(QueryError::Reason::NumberTooLarge, at);
                return part.toLongLong();
            };
            term.low = bound(low, start);
            term.high = bound(high, dots < 0 ? start : start + dots + 2);
            if (!m_error && term.low && term.high && *term.low > *term.high)
                fail(QueryError::Reason::EmptyRange, start);
            return true;
        }

        // A value up to a blank or ",": plain runs and quoted parts, "" in quotes one quote.
        QString value()
        {
            QString text;
            while (m_at < m_text.size() && !endsTerm(m_text.at(m_at))) {
                if (m_text.at(m_at) != u'"') {
                    text += m_text.at(m_at++);
                    continue;
                }
                const qsizetype opening = m_at++;
                for (;;) {
                    if (m_at >= m_text.size()) {
                        fail(QueryError::Reason::UnclosedQuote, opening);
                        return text;
                    }
                    const QChar c = m_text.at(m_at++);
                    if (c != u'"') {
                        text += c;
                    } else if (m_at < m_text.size() && m_text.at(m_at) == u'"') {
                        text += c;
                        ++m_at;
                    } else {
                        break;
                    }
                }
            }
            return text;
        }

        void skipBlanks()
        {
            while (m_at < m_text.size() && m_text.at(m_at).isSpace())
                ++m_at;
        }

        void fail(QueryError::Reason reason, qsizetype at, QString detail = {})
        {
            if (!m_error)
                m_error = QueryError { reason, at, std::move(detail) };
            m_at = m_text.size();
        }

        const QString& m_text;
        qsizetype m_at = 0;
        std::optional<QueryError> m_error;
    };

} // namespace

ParsedQuery parseQuery(const QString& text)
{
    return Parser(text).query();
}

} // namespace zentrio
