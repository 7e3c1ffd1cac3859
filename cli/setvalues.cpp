#include "cli/setvalues.h"

#include "cli/output.h"
#include "platform/fs/filenames.h"
#include "tags/write/id3v1record.h"

#include <QDate>
#include <QRegularExpression>

namespace zentrio::cli {

namespace {

bool matches(const char* pattern, const QString& value)
{
    return QRegularExpression(QLatin1String(pattern)).match(value).hasMatch();
}

// A date's month and day must exist: "2023-02-29" is no date.
bool isDate(const QString& value)
{
    if (matches("^[0-9]{4}-[0-9]{2}-[0-9]{2}$", value))
        return QDate::fromString(value, QStringLiteral("yyyy-MM-dd")).isValid();
    if (matches("^[0-9]{4}-[0-9]{2}$", value))
        return QDate::fromString(value + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd")).isValid();
    return false;
}

} // namespace

QString valueFault(TagField field, const QString& value)
{
    switch (field) {
    case TagField::Track:
    case TagField::Disc:
        return matches("^[0-9]{1,4}(/[0-9]{1,4})?$", value) ? QString()
                                                            : QStringLiteral("N or N/M, numbers of up to four digits");
    case TagField::Year:
        return matches("^[0-9]{4}$", value) || isDate(value)
            ? QString()
            : QStringLiteral("four digits, or a date as YYYY-MM-DD or YYYY-MM");
    default:
        return {};
    }
}

namespace {

const char* optionOf(TagField field)
{
    switch (field) {
    case TagField::Track:
        return "--track";
    case TagField::Disc:
        return "--disc";
    default:
        return "--year";
    }
}

} // namespace

std::optional<TagValues> checkedSetValues(const std::map<TagField, std::string>& given, bool id3v1)
{
    TagValues values;
    bool ok = true;
    for (const auto& [field, bytes] : given) {
        const QString value = nameToText(bytes);
        values[field] = value;
        // A value the record would drop or cut is refused rather than left
        // out of every file without a word; in the ID3v2 tag an empty value
        // clears its field.
        const QString holds = id3v1 ? recordCannotHold(field, value) : QString();
        const QString wanted = value.isEmpty() ? QString() : valueFault(field, value);
        if (!holds.isEmpty())
            complain("the ID3v1 record holds " + holds.toStdString() + ": cannot set \"" + value.toStdString() + "\"");
        else if (!wanted.isEmpty())
            complain(std::string(optionOf(field)) + " takes " + wanted.toStdString() + ": cannot set \""
                + value.toStdString() + "\"");
        ok = ok && holds.isEmpty() && wanted.isEmpty();
    }
    return ok ? std::optional(values) : std::nullopt;
}

} // namespace zentrio::cli
