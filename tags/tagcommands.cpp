#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "rename/renamerun.h"
#include "tags/fromnamewindow.h"
#include "tags/setforcheckedwindow.h"
#include "tags/tagjournal.h"

#include <QAction>
#include <QDate>

namespace zentrio {

// "from file name": the checked files' names against a pattern, in a window
// that writes nothing until "apply".
void Form1::fromNameClicked()
{
    auto* window = new FromNameWindow(checkedMp3Names(runItems()), id3v2->isChecked(), m_texts,
        [this](const auto& files, int unmatched) { applyTagValues(files, unmatched); }, this);
    window->show();
}

// "set for checked": the boxes that hold text go into every checked file.
void Form1::setForCheckedClicked()
{
    auto* window = new SetForCheckedWindow(id3v2->isChecked(), m_texts, [this](const TagValues& values) {
        std::vector<std::pair<std::string, TagValues>> files;
        for (const std::string& name : checkedMp3Names(runItems()))
            files.emplace_back(name, values);
        applyTagValues(files, 0);
    }, this);
    window->show();
}

void Form1::applyTagValues(const std::vector<std::pair<std::string, TagValues>>& named, int unmatched)
{
    const std::string folder = currentFolder();
    std::vector<std::pair<std::string, TagValues>> files;
    for (const auto& [name, values] : named)
        files.emplace_back(folder + name, values);
    const TagBatchResult result = writeTagBatch(
        files, tagSource(), QDate::currentDate().year(), TagJournal(defaultTagJournalPath()));
    if (!result.journalError.empty()) {
        showMessage(message(QStringLiteral("errjournalwrite")).arg(QString::fromLocal8Bit(result.journalError.c_str())));
        return;
    }
    frissites(0);
    const QString counts = message(QStringLiteral("msgtags")).arg(result.written).arg(unmatched).arg(result.failed);
    // A file that could not be written gets the save's write error, with the counts after it.
    showMessage(result.failed > 0 ? message(QStringLiteral("error3")) + ';' + counts : counts);
}

// "undo tag change": the newest recorded tag change's old tags go back.
void Form1::undoTagClicked()
{
    const auto outcome = TagJournal(defaultTagJournalPath()).undoNewest();
    if (!outcome) {
        showMessage(message(QStringLiteral("errtagjournal")));
        return;
    }
    if (outcome->restored == 0 && outcome->skipped == 0) {
        showMessage(message(QStringLiteral("msgnoundo")));
        return;
    }
    frissites(0);
    showMessage(message(QStringLiteral("msgundotag")).arg(outcome->restored).arg(outcome->skipped));
}

} // namespace zentrio
