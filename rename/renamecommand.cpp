#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "rename/folderrun/recordedrun.h"

#include <QCheckBox>
#include <QLabel>

namespace zentrio {

// "selected": renames every checked file from its own tag (with "all
// formats" on, each keeping its own extension), showing progress
// after each checked item; after a run without failure, rescans and writes
// the playlist when "saving m3u " is checked. The journal records the run
// before its first rename, so that "undo" can bring the old names back.
void Form1::selectedClicked()
{
    const std::vector<RunItem> items = runItems();
    const auto progress = [this](int renamed) {
        showMessage(message(renamed != 0 ? QStringLiteral("msg1") : QStringLiteral("msg2")), true);
    };
    const RecordedRun run
        = runRecordedRename(RunHistory::standard(), Dir1->path(), items, nameOptions(), progress, tagSource(),
            listedFormats());
    const RenameRunResult& result = run.result;
    switch (result.outcome) {
    case RenameRunResult::Outcome::NothingChecked:
        showMessage(message(QStringLiteral("msg3")));
        break;
    case RenameRunResult::Outcome::TargetExists:
        showMessage(message(QStringLiteral("error7")), true);
        break;
    case RenameRunResult::Outcome::Failed:
        showMessage(message(QStringLiteral("error8")));
        break;
    case RenameRunResult::Outcome::Completed:
        frissites(0);
        if (Check4->checkState() == Qt::Checked)
            savem3u();
        break;
    }
    if (!run.recorded)
        sayNotUndoable();
}

// Every row of the list, checked or not, with its name on disk.
std::vector<RunItem> Form1::runItems() const
{
    std::vector<RunItem> items;
    const int n = ListView1->count();
    items.reserve(static_cast<size_t>(n));
    for (int position = 0; position < n; ++position)
        items.push_back({ ListView1->isChecked(position), ListView1->itemName(position + 1) });
    return items;
}

void Form1::sayNotUndoable()
{
    const QString outcome = Label11->text();
    const QString note = message(QStringLiteral("errnoundo"));
    showMessage(outcome.trimmed().isEmpty() ? note : outcome + QLatin1Char(';') + note);
}

} // namespace zentrio
