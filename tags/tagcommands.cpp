#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "platform/folderlist.h"
#include "tags/fromnamewindow.h"
#include "tags/setforcheckedwindow.h"
#include "rename/history/runtrail.h"
#include "tags/journal/tagjournal.h"
#include "tags/read/checkeditems.h"
#include "tags/write/taglayout.h"
#include "tags/write/tagwrite.h"

#include <map>

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

namespace {

    // The files a tag window shows, as they are when it opens: one renamed
    // or replaced under its name by the time of "apply" is not written.
    std::map<std::string, fs::FileIdentity> identitiesOf(const std::string& folder, const std::vector<std::string>& names)
    {
        std::map<std::string, fs::FileIdentity> shown;
        for (const std::string& name : names) {
            if (const auto identity = fs::identityOf(linkTarget(joinPath(folder, name))))
                shown[name] = *identity;
        }
        return shown;
    }

} // namespace

void Form1::sayOtherFormatsLeftAlone(std::size_t count)
{
    if (count > 0)
        showMessage(message(QStringLiteral("msgformatsalone")).arg(count));
}

// The checked files whose tags the tag windows write: those of the formats
// listed whose tags are written.
std::vector<std::string> Form1::checkedTagNames(const std::vector<RunItem>& items) const
{
    return checkedAudioNames(items, listedFormats().within(writableFormats()));
}

// "from file name": the checked files' names against a pattern, in a window
// that writes nothing until "apply". Its files are the checked files whose
// tags are written; any other format's are left alone.
void Form1::fromNameClicked()
{
    const std::vector<RunItem> items = runItems();
    const std::vector<std::string> names = checkedTagNames(items);
    const std::size_t leftAlone = checkedAudioNames(items, listedFormats()).size() - names.size();
    auto* window = new FromNameWindow(currentFolder(), names, tagSource(), m_texts,
        [this, shown = identitiesOf(currentFolder(), names), leftAlone](
            const TagBatchRequest& request) { applyTagValues(request, shown, leftAlone); },
        this);
    bindToListing(window);
    window->show();
    sayOtherFormatsLeftAlone(leftAlone);
}

// "set for checked": the boxes that hold text go into every file checked
// when the window opened; the files as above.
void Form1::setForCheckedClicked()
{
    const std::vector<RunItem> items = runItems();
    const std::vector<std::string> names = checkedTagNames(items);
    const std::size_t leftAlone = checkedAudioNames(items, listedFormats()).size() - names.size();
    auto* window = new SetForCheckedWindow(currentFolder(), names, tagSource(), m_texts,
        [this, shown = identitiesOf(currentFolder(), names), leftAlone](
            const TagBatchRequest& request) { applyTagValues(request, shown, leftAlone); },
        this);
    bindToListing(window);
    window->show();
    sayOtherFormatsLeftAlone(leftAlone);
}

void Form1::applyTagValues(
    const TagBatchRequest& request, const std::map<std::string, fs::FileIdentity>& shown, std::size_t leftAlone)
{
    TagBatch batch { {}, request.source, RecordRule::KeepUnnamed, QDate::currentDate().year() };
    batch.keepTime = keeptime->isChecked();
    for (const auto& [name, values] : request.files) {
        batch.files.emplace_back(joinPath(request.folder, name), values);
        const auto identity = shown.find(name);
        batch.shown.push_back(identity == shown.end() ? std::nullopt : std::optional(identity->second));
    }
    const TagJournal journal(defaultTagJournalPath());
    const TagBatchResult result = writeTags(batch, &journal);
    const QString journalError = QString::fromLocal8Bit(result.journalError.c_str());
    if (!journalError.isEmpty() && result.written == 0) {
        showMessage(message(QStringLiteral("errjournalwrite")).arg(journalError));
        return;
    }
    frissites(0);
    const QString counts = message(QStringLiteral("msgtags"))
                               .arg(result.written + result.unchanged)
                               .arg(request.unmatched)
                               .arg(result.failed);
    // A file that could not be written gets the save's write error, with the counts after it; a
    // journal that failed part-way says why the rest was not written.
    QString said = result.failed > 0 ? message(QStringLiteral("error3")) + ';' + counts : counts;
    if (!journalError.isEmpty())
        said += ';' + message(QStringLiteral("errjournalwrite")).arg(journalError);
    if (leftAlone > 0)
        said += ';' + message(QStringLiteral("msgformatsalone")).arg(leftAlone);
    showMessage(said);
}

// "undo tag change": the newest recorded tag change's old tags go back.
void Form1::undoTagClicked()
{
    const auto outcome = standardTagJournal().undoNewest();
    if (!outcome) {
        showMessage(message(QStringLiteral("errtagjournal")));
        return;
    }
    if (outcome->restored == 0 && outcome->skipped == 0) {
        showMessage(message(QStringLiteral("msgnoundo")));
        return;
    }
    frissites(0);
    QString said = message(QStringLiteral("msgundotag")).arg(outcome->restored).arg(outcome->skipped);
    if (outcome->kept)
        said += ';' + message(QStringLiteral("msgundokept"));
    showMessage(said);
}

} // namespace zentrio
