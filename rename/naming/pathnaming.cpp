#include "rename/naming/pathnaming.h"

namespace zentrio {

namespace {

QString fieldName(PatternField field)
{
    for (const PatternFieldName& known : patternFieldNames())
        if (known.field == field)
            return QString::fromLatin1(known.name);
    return {};
}

bool comesFromTheTag(PatternField field)
{
    return field != PatternField::Number && field != PatternField::Separator && field != PatternField::Ignore;
}

} // namespace

std::optional<PatternError> pathPatternFault(const QString& text)
{
    for (const auto& [start, end] : slashParts(text)) {
        const QString part = text.mid(start, end - start);
        if (part.isEmpty())
            return PatternError { PatternError::Reason::EmptyPart, start };
        if (part.trimmed().isEmpty())
            return PatternError { PatternError::Reason::BlankPart, start };
        if (part.trimmed() == QLatin1String(".") || part.trimmed() == QLatin1String(".."))
            return PatternError { PatternError::Reason::DotPart, start };
    }
    return std::nullopt;
}

QStringList missingFields(const std::vector<PatternPart>& parts, const TagFields& tag)
{
    QStringList missing;
    for (const PatternPart& part : parts) {
        if (part.kind != PatternPart::Kind::Field || !comesFromTheTag(part.field))
            continue;
        if (!fieldHasValue(part, tag) && !missing.contains(fieldName(part.field)))
            missing << fieldName(part.field);
    }
    return missing;
}

std::vector<QString> composeNewPath(const TagFields& tag, const NameOptions& options, int number)
{
    if (!options.own || !options.own->ok())
        return {};
    const QString text = formatPattern(options.own->parts, tag, { number, options.separator, options.widths });
    if (!text.contains(u'/')) { // a name alone, no folders: nothing to split
        QString name = composePathComponent(text, options, true);
        return name.isEmpty() ? std::vector<QString>() : std::vector<QString> { std::move(name) };
    }
    const QStringList pieces = text.split(u'/');
    std::vector<QString> components;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const bool last = i + 1 == pieces.size();
        const QString component = composePathComponent(pieces[i], options, last);
        if (!component.isEmpty())
            components.push_back(component);
        else if (last)
            return {}; // no name for the file itself
    }
    return components;
}

} // namespace zentrio
