// zentrio_folderrun FOLDER: the window's "selected" run over FOLDER, without
// the window: every visible file of the folder listed by name and checked,
// the window's default naming options, tags read ID3v2 first, the run
// recorded in the run history ($XDG_STATE_HOME/zentrio/runs) by the same
// core call Form1::selectedClicked makes. The power-cut tests run it on the
// mount that loses power, where the window's frozen syncs would hang a test.
// Exits 0 when the run completed, 1 otherwise; 3 when it was not recorded.

#include "platform/fs/fsops.h"
#include "rename/folderrun/recordedrun.h"

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zentrio_folderrun FOLDER\n");
        return 2;
    }
    // The window hands the run its folder's whole path, which the record keeps.
    const std::string given = argv[1];
    const std::string folder = given.front() == '/' ? given : zentrio::fs::currentDirectory() + "/" + given;
    const auto entries = zentrio::fs::listFolder(folder);
    if (!entries) {
        std::fprintf(stderr, "cannot list %s\n", folder.c_str());
        return 1;
    }
    std::vector<zentrio::RunItem> items;
    for (const zentrio::fs::DirEntry& entry : *entries) {
        if (!entry.isFolder)
            items.push_back({ true, entry.name });
    }
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    const zentrio::RecordedRun run = zentrio::runRecordedRename(zentrio::RunHistory::standard(), folder, items,
        zentrio::NameOptions(), {}, zentrio::TagSource::Id3v2First);
    std::printf("renamed %d\n", run.result.renamed);
    if (!run.recorded)
        return 3;
    return run.result.outcome == zentrio::RenameRunResult::Outcome::Completed ? 0 : 1;
}
