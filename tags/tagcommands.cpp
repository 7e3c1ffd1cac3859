#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/filenames.h"
#include "platform/folderlist.h"
#include "rename/renamerun.h"
#include "tags/fromnamewindow.h"
#include "tags/setforcheckedwindow.h"
#include "tags/tagjournal.h"

#include <QAction>
#include <QDate>

namespace zentrio {

// A tag window's files belong to the folder listed when it opened: another
// folder closes it. The ID3v2 switch it follows, as the list does.
template <class TagWindow> void Form1::bindToListing(TagWindow* window)
{
    connect(Dir1, &FolderList::pathChanged, window, &QWidget::close);
    connect(id3v2, &QAction::toggled, window, [this, window] { window->setTagSource(tagSource()); });
}

// "from file name": the checked files' names against a pattern, in a window
// that writes nothing until "apply".
void Form1::fromNameClicked()
{
    auto* window = new FromNameWindow(
        currentFolder(), checkedMp3Names(runItems()), tagSource(), m_texts,
        [this](const TagBatchRequest& request) { applyTagValues(request); }, this);
    bindToListing(window);
    window->show();
}

// "set for checked": the boxes that hold text go into every file checked
// when the window opened.
void Form1::setForCheckedClicked()
{
    auto* window = new SetForCheckedWindow(
        currentFolder(), checkedMp3Names(runItems()), tagSource(), m_texts,
        [this](const TagBatchRequest& request) { applyTagValues(request); }, this);
    bindToListing(window);
    window->show();
}

void Form1::applyTagValues(const TagBatchRequest& request)
{
    std::vector<std::pair<std::string, TagValues>> files;
    for (const auto& [name, values] : request.files)
        files.emplace_back(joinPath(request.folder, name), values);
    const TagBatchResult result = writeTagBatch(
        files, request.source, QDate::currentDate().year(), TagJournal(defaultTagJournalPath()));
    if (!result.journalError.empty() && result.written == 0) {
        showMessage(message(QStringLiteral("errjournalwrite")).arg(QString::fromLocal8Bit(result.journalError.c_str())));
        return;
    }
    frissites(0);
    const QString counts
        = message(QStringLiteral("msgtags")).arg(result.written).arg(request.unmatched).arg(result.failed);
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
