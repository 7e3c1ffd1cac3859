#include "cli/arguments.h"

#include "cli/output.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "rename/naming/pathnaming.h"
#include "rename/naming/patternerror.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace zentrio::cli {

namespace {

std::optional<std::string> resolved(const std::string& path)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer))
        return std::nullopt;
    return std::string(buffer);
}

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

std::optional<std::vector<std::string>> absolutePaths(const std::vector<std::string>& given)
{
    std::vector<std::string> paths;
    bool ok = true;
    for (std::string path : given) {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        struct stat st { };
        if (::stat(path.c_str(), &st) != 0) {
            complain(shellQuoted(path) + ": " + std::strerror(errno));
            ok = false;
            continue;
        }
        const auto folder = resolved(S_ISDIR(st.st_mode) ? path : parentOf(path));
        if (!folder) {
            complain(shellQuoted(path) + ": " + std::strerror(errno));
            ok = false;
            continue;
        }
        paths.push_back(S_ISDIR(st.st_mode) ? *folder : joinPath(*folder, baseOf(path)));
    }
    return ok ? std::optional(paths) : std::nullopt;
}

std::optional<std::string> absoluteTarget(const std::string& given)
{
    std::string path = given;
    std::vector<std::string> missing;
    for (;;) {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (const auto found = resolved(path)) {
            std::string target = *found;
            for (auto part = missing.rbegin(); part != missing.rend(); ++part)
                target = joinPath(target, *part);
            return target;
        }
        const std::string part = baseOf(path);
        if (errno != ENOENT || part == "." || part == ".." || path == "/" || path.empty()) {
            complain(shellQuoted(given) + ": "
                + (errno != ENOENT ? std::strerror(errno) : "not a folder that can be made"));
            return std::nullopt;
        }
        missing.push_back(part);
        path = parentOf(path);
    }
}

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
