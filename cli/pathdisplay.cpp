#include "cli/pathdisplay.h"

#include "cli/output.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

namespace zentrio::cli {

std::string pathText(std::string path, PathForm form)
{
    switch (form) {
    case PathForm::Quoted:
        return shellQuoted(path);
    case PathForm::OneLine:
        return oneLine(path);
    case PathForm::AsIs:
        break;
    }
    return path;
}

PathForm recordForm(PathForm elsewhere)
{
    static const bool terminal = stdoutIsTerminal();
    return terminal ? PathForm::Quoted : elsewhere;
}

void PathDisplay::addBase(std::string absolute, std::string shownAs)
{
    m_bases.push_back({ std::move(absolute), std::move(shownAs) });
}

void PathDisplay::setTarget(std::string absolute, std::string given)
{
    m_target = Base { std::move(absolute), std::move(given) };
}

std::optional<std::string> PathDisplay::below(const std::string& path, const Base& base)
{
    if (path == base.absolute)
        return base.shownAs.empty() ? std::string(".") : base.shownAs;
    // Compared in place, without the base's folder path made: a report
    // shows every file of a run through here.
    const std::string_view folder = base.absolute;
    const bool slashed = !folder.empty() && folder.back() == '/';
    const std::size_t prefix = folder.size() + (slashed ? 0 : 1);
    if (path.size() <= prefix || !path.starts_with(folder) || (!slashed && path[folder.size()] != '/'))
        return std::nullopt;
    const std::string_view relative = std::string_view(path).substr(prefix);
    if (base.shownAs.empty())
        return std::string(relative);
    std::string shown;
    shown.reserve(base.shownAs.size() + 1 + relative.size());
    shown += base.shownAs;
    if (shown.back() != '/')
        shown += '/';
    shown += relative;
    return shown;
}

std::string PathDisplay::place(const std::string& path, std::size_t base) const
{
    if (base < m_bases.size()) {
        if (auto shown = below(path, m_bases[base]))
            return std::move(*shown);
    }
    // A path without its own base (a folder that could not be listed) is
    // shown under the first that holds it.
    for (const Base& other : m_bases) {
        if (auto shown = below(path, other))
            return std::move(*shown);
    }
    if (m_target) {
        if (auto shown = below(path, *m_target))
            return std::move(*shown);
    }
    return path;
}

std::string PathDisplay::show(const std::string& path, std::size_t base) const
{
    return pathText(place(path, base), recordForm());
}

std::string PathDisplay::said(const std::string& path, std::size_t base) const
{
    return shellQuoted(place(path, base));
}

PathDisplay displayForArguments(const std::vector<std::string>& given, const std::vector<std::string>& absolute)
{
    PathDisplay display;
    for (std::size_t i = 0; i < given.size(); ++i) {
        std::string typed = given[i];
        while (typed.size() > 1 && typed.back() == '/')
            typed.pop_back(); // as absolutePaths read it
        const bool folder = fs::isFolder(absolute[i]);
        const std::string shown = folder ? typed : typed.substr(0, typed.rfind('/') + 1);
        display.addBase(folder ? absolute[i] : parentOf(absolute[i]), shown);
    }
    return display;
}

PathDisplay displayFromHere()
{
    PathDisplay display;
    display.addBase(fs::currentDirectory());
    return display;
}

} // namespace zentrio::cli
