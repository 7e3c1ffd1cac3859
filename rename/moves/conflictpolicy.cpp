#include "rename/moves/conflictpolicy.h"

#include "platform/fs/filenames.h"
#include "rename/naming/compose.h"
#include "rename/moves/diskpresence.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <unordered_map>

namespace zentrio {

namespace {

constexpr int kMostCopies = 10000;

class FreeNames {
public:
    explicit FreeNames(const std::vector<std::string>& leaving)
    {
        for (const std::string& path : leaving) {
            m_leaving[0].insert(nameKey(path, false));
            m_leaving[1].insert(nameKey(path, true));
        }
    }

    // Takes the name when no file of the run took it and nothing that stays holds it.
    bool claim(const std::string& path, bool ignoresCase)
    {
        const std::string key = nameKey(path, ignoresCase);
        auto& claimed = m_claimed[ignoresCase ? 1 : 0];
        if (claimed.contains(key) || (!m_leaving[ignoresCase ? 1 : 0].contains(key) && m_disk.taken(path, ignoresCase)))
            return false;
        // A name claimed under one rule is claimed under the other too.
        m_claimed[0].insert(nameKey(path, false));
        m_claimed[1].insert(nameKey(path, true));
        return true;
    }

private:
    DiskNames m_disk;
    std::unordered_set<std::string> m_leaving[2]; // by ignoresCase
    std::unordered_set<std::string> m_claimed[2];
};

// Whether the names in a folder are compared without letter case, each
// folder asked once.
class CaseRule {
public:
    explicit CaseRule(FsChoice choice)
        : m_everywhere(choice == FsChoice::Fat)
    {
    }

    bool ignoresCaseAt(const std::string& folder)
    {
        if (m_everywhere)
            return true;
        const auto [at, added] = m_known.try_emplace(folder, false);
        if (added)
            at->second = targetFsOf(folder).value_or(TargetFs {}).ignoresCase;
        return at->second;
    }

private:
    bool m_everywhere;
    std::unordered_map<std::string, bool> m_known;
};

} // namespace

void numberConflicts(LibraryPlan& plan)
{
    CaseRule caseRule(plan.fsChoice);
    std::vector<NumberedTarget> targets;
    std::vector<std::size_t> fileOf;
    std::vector<std::string> leaving;
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        const PlannedFile& file = plan.files[i];
        if (!file.moves())
            continue;
        leaving.push_back(file.from);
        if (file.carried)
            continue; // a companion keeps its name, or stays
        targets.push_back({ file.from, file.to, caseRule.ignoresCaseAt(parentOf(file.to)), file.named });
        fileOf.push_back(i);
    }
    numberTargets(targets, leaving);
    for (std::size_t k = 0; k < targets.size(); ++k) {
        PlannedFile& file = plan.files[fileOf[k]];
        if (file.named.empty() && targets[k].to != file.to)
            file.named = file.to;
        file.to = targets[k].to;
        if (file.to == file.from)
            file.status = FileStatus::Unchanged;
    }
}

void keepCompanionsOf(const std::unordered_set<std::string>& folders, LibraryPlan& plan)
{
    for (PlannedFile& file : plan.files) {
        if (file.carried && file.moves() && folders.contains(parentOf(file.from))) {
            file.status = FileStatus::Skipped;
            file.reason = "stays where it is: not every audio file of its folder moves";
        }
    }
}

std::string numberedPath(const std::string& path, int number)
{
    const std::string folder = parentOf(path);
    const std::string name = baseOf(path);
    const auto dot = name.rfind('.');
    const std::size_t stemEnd = dot == std::string::npos || dot == 0 ? name.size() : dot;
    const std::string tail = " (" + std::to_string(number) + ")" + name.substr(stemEnd);
    std::string stem = name.substr(0, stemEnd);
    if (stem.size() + tail.size() > kMaxNameBytes) {
        std::size_t cut = kMaxNameBytes > tail.size() ? kMaxNameBytes - tail.size() : 0;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
        stem.resize(cut);
    }
    return joinPath(folder, stem + tail);
}

bool isNumberedFrom(const std::string& path, const std::string& named)
{
    const std::string name = baseOf(path);
    if (baseOf(named).size() > kMaxNameBytes || !isPlainAbsolutePath(named))
        return false; // no name rename composes
    const std::size_t open = name.rfind(" (");
    if (open == std::string::npos)
        return false;
    int number = 0;
    const char* digits = name.data() + open + 2;
    const auto [end, error] = std::from_chars(digits, name.data() + name.size(), number);
    return error == std::errc() && end != digits && *end == ')' && number >= 2 && number <= kMostCopies
        && numberedPath(named, number) == path;
}

void numberTargets(std::vector<NumberedTarget>& targets, const std::vector<std::string>& leaving)
{
    std::vector<std::size_t> order(targets.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(
        order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return targets[a].from < targets[b].from; });
    FreeNames names(leaving);
    std::vector<std::size_t> numbered;
    for (const std::size_t i : order) {
        if (!names.claim(targets[i].to, targets[i].ignoresCase))
            numbered.push_back(i);
    }
    // After every file that keeps its own name, so a song named "X (2)"
    // keeps it and the second "X" takes "X (3)". A target numbered before
    // is numbered again from the name it was numbered from: "X (3)", never
    // "X (2) (2)".
    for (const std::size_t i : numbered) {
        const std::string unnumbered = targets[i].named.empty() ? targets[i].to : targets[i].named;
        // A name no number frees (a folder that answers "taken" for every
        // name) stays as it is, a conflict the check then reports.
        for (int number = 2; number <= kMostCopies; ++number) {
            const std::string candidate = numberedPath(unnumbered, number);
            if (names.claim(candidate, targets[i].ignoresCase)) {
                targets[i].to = candidate;
                break;
            }
        }
    }
}

} // namespace zentrio
