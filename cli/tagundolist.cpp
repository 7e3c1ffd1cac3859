#include "cli/tagundolist.h"

#include "cli/exitstatus.h"
#include "cli/output.h"
#include "platform/fs/filenames.h"

#include <QJsonArray>
#include <QJsonObject>

namespace zentrio::cli {

namespace {

    constexpr std::size_t kFoldersShown = 3;

    // The folders of a change's files, each once, in the order of its files.
    std::vector<std::string> foldersOf(const std::vector<std::string>& paths)
    {
        std::vector<std::string> folders;
        for (const std::string& path : paths) {
            std::string folder = parentOf(path);
            if (std::find(folders.begin(), folders.end(), folder) == folders.end())
                folders.push_back(std::move(folder));
        }
        return folders;
    }

    // "2 folders: /music/A, /music/B", the first few of many and "...".
    std::string foldersText(const std::vector<std::string>& folders)
    {
        if (folders.empty())
            return "no folder";
        std::string text = counted(folders.size(), "folder") + ": ";
        for (std::size_t i = 0; i < folders.size() && i < kFoldersShown; ++i)
            text += (i > 0 ? ", " : "") + folders[i];
        return folders.size() > kFoldersShown ? text + ", ..." : text;
    }

    QJsonArray pathArray(const std::vector<std::string>& paths)
    {
        QJsonArray array;
        for (const std::string& path : paths) {
            QJsonObject object;
            putPath(object, "path", path);
            array.append(object);
        }
        return array;
    }

    void writeChange(const TagCommandSummary& change, bool newest, bool json)
    {
        const auto folders = foldersOf(change.paths);
        if (!json) {
            writeRecord(change.id + "  " + timeText(change.time) + "  " + foldersText(folders) + "  "
                + originText(change.origin) + "  " + counted(change.files, "file")
                + (newest ? "  <- undo takes this one" : ""));
            return;
        }
        QJsonObject object { { "id", QString::fromStdString(change.id) }, { "time", qint64(change.time) },
            { "origin", change.origin == TagOrigin::Window ? "window" : "cli" }, { "newest", newest },
            { "file_count", qint64(change.files) }, { "folders", pathArray(folders) },
            { "files", pathArray(change.paths) } };
        writeJson(object);
    }

} // namespace

const char* originText(TagOrigin origin) { return origin == TagOrigin::Window ? "window" : "command line"; }

int listTagChanges(const TagJournal& journal, bool json)
{
    const auto commands = journal.list();
    if (!commands) {
        complain("the tag journal cannot be read, or is damaged (undo sets a damaged one aside)");
        return kSomeFailed;
    }
    for (auto command = commands->rbegin(); command != commands->rend(); ++command)
        writeChange(*command, command == commands->rbegin(), json);
    if (commands->empty() && !json)
        writeRecord("no tag changes to undo");
    return kDone;
}

} // namespace zentrio::cli
