#include "app/form1.h"

#include "platform/folderlist.h"
#include "rename/undo.h"

#include <QCheckBox>

namespace zentrio {

// "undo": renames the files of the newest journal record back, reports how
// many came back and how many could not, and keeps in the journal only what
// may still be undone later. The list is rescanned, and when the record is
// this folder's, the playlist is written as after a run.
void Form1::undoClicked()
{
    const RenameJournal journal(defaultJournalPath());
    const RenameJournal::Contents contents = journal.load();
    if (contents.state == RenameJournal::State::Damaged) {
        // Said once: the damaged file is set aside and its whole records
        // kept, so the next "undo" works on them.
        journal.repair(contents);
        showMessage(message(QStringLiteral("errjournal")));
        return;
    }
    if (contents.records.empty()) {
        showMessage(message(QStringLiteral("msgnoundo")));
        return;
    }
    const JournalRecord& newest = contents.records.back();
    const UndoOutcome outcome = undoRecord(newest);
    journal.replaceNewest(outcome.remaining);
    frissites(0);
    showMessage(message(QStringLiteral("msgundo")).arg(outcome.renamedBack).arg(outcome.notUndone));
    if (newest.folder == Dir1->path() && Check4->checkState() == Qt::Checked)
        savem3u(); // reports only a failure, over the message above
}

} // namespace zentrio
