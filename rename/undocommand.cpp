#include "app/form1.h"

#include "platform/folderlist.h"
#include "rename/history/undo.h"

#include <QCheckBox>

namespace zentrio {

// "undo": takes back the newest run, whichever program made it: renames in
// this window's folders, or moves across folders by the command line. It
// says how many files came back and how many could not, and keeps in the
// journal only what may still be undone later. The list is rescanned, and
// when the run renamed in this folder, the playlist is written as after a run.
void Form1::undoClicked()
{
    const NewestUndo undo = undoNewestRun(RunHistory::standard(), defaultJournalPath());
    switch (undo.status) {
    case NewestUndo::Status::Nothing:
    case NewestUndo::Status::Dropped: // only the command line drops a run
        showMessage(message(QStringLiteral("msgnoundo")));
        return;
    case NewestUndo::Status::Damaged:
    case NewestUndo::Status::Unavailable:
    case NewestUndo::Status::Blocked: // only a run named by its number is refused for a newer one
    case NewestUndo::Status::NoSuchRun:
        showMessage(message(QStringLiteral("errjournal")));
        return;
    case NewestUndo::Status::InProgress:
        showMessage(message(QStringLiteral("msgundobusy")));
        return;
    case NewestUndo::Status::Undone:
        break;
    }
    frissites(0);
    const MovesUndone& result = undo.result;
    if (undo.kind == RunKind::Folder) {
        showMessage(message(QStringLiteral("msgundo")).arg(result.movedBack).arg(result.notUndone));
        if (undo.folder == Dir1->path() && Check4->checkState() == Qt::Checked)
            savem3u(); // reports only a failure, over the message above
        return;
    }
    showMessage(message(QStringLiteral("msgundomoves"))
                    .arg(result.movedBack)
                    .arg(result.notUndone)
                    .arg(result.foldersRemoved + result.foldersMade));
}

} // namespace zentrio
