// Any query against any fields and path: the parser never crashes, names
// a place inside the query (or just past its end) for a fault, and a query
// read is matched to an answer.
#include "tags/query/querymatch.h"
#include "tags/query/queryparse.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // the query, then the fields and the path, cut at byte 0x01
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList parts = text.split(QChar(1));
    while (parts.size() < 12)
        parts << QString();
    const zentrio::ParsedQuery parsed = zentrio::parseQuery(parts[0]);
    if (parsed.error) {
        if (parsed.error->position < 0 || parsed.error->position > parts[0].size())
            std::abort();
        if (!zentrio::queryErrorText(*parsed.error).startsWith("the query"))
            std::abort();
        return 0;
    }
    const zentrio::TagFields tag { true, parts[1], parts[2], parts[3], parts[4], parts[5], parts[6], parts[7],
        parts[8], parts[9], parts[10] };
    zentrio::matchesQuery(parsed.query, tag, parts[11].toStdString());
    return 0;
}
