#include "cli/patternargument.h"

#include "cli/output.h"
#include "platform/fs/filenames.h"
#include "rename/naming/pathnaming.h"
#include "rename/naming/patternerror.h"

namespace zentrio::cli {

namespace {

// "a\tb" as a tab: the pattern language reads "\t" as a plain "t".
QString withEscapes(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == u't' || next == u'n') {
                out += next == u't' ? u'\t' : u'\n';
            } else {
                out += text[i];
                out += next;
            }
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace

std::shared_ptr<const ParsedPattern> readPattern(
    const std::string& text, bool escapes, bool makesPaths, PatternUse use)
{
    const QString pattern = escapes ? withEscapes(nameToText(text)) : nameToText(text);
    auto parsed = std::make_shared<ParsedPattern>(parsePattern(pattern, use));
    if (parsed->ok() && makesPaths)
        parsed->error = pathPatternFault(pattern);
    if (parsed->ok())
        return parsed;
    if (!parsed->error) {
        complain("the pattern is empty");
        return nullptr;
    }
    complain(patternErrorText(*parsed->error).toStdString());
    return nullptr;
}

} // namespace zentrio::cli
