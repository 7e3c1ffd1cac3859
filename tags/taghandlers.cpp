#include "app/form1.h"

#include "tags/journal/tagjournal.h"

#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "tags/write/tagsave.h"
#include "tags/write/tagwrite.h"

#include <QDate>
#include <QLineEdit>
#include <QPushButton>

namespace zentrio {

void Form1::listItemClicked()
{
    frissites2();
    if (!Text1->text().isEmpty())
        Command1->setEnabled(true);
}

// "save tag": writes the boxes into the current item's file as a fresh
// record, rescans, and keeps that file's row current so that the boxes and
// the file stay together for a further save. A file of another format
// (listed with "all formats" on) takes the three texts into its own tag (a
// FLAC file's comment), never an ID3v1 record; one whose tags are not
// written is left as it is.
void Form1::saveTagClicked()
{
    const int index = ListView1->currentIndex();
    const std::string name = ListView1->itemName(index);
    if (index != 0 && !isAudioFileName(name, writableFormats()))
        return sayOtherFormatsLeftAlone(1);
    const TagEdit edit { Text5->text(), Text3->text(), Text4->text() };
    const std::string path = currentFolder() + name;
    // The old tags go to the tag journal first, so "undo tag change" can put them back.
    const TagJournal journal(defaultTagJournalPath());
    std::string journalError;
    if (index == 0 || !saveTag(path, edit, QDate::currentDate().year(), tagSource(), &journal, &journalError)) {
        showMessage(message(QStringLiteral("error3")));
        return;
    }
    frissites(1);
    if (!journalError.empty())
        showMessage(message(QStringLiteral("msgsavednoundo")).arg(QString::fromLocal8Bit(journalError.c_str())));
    for (int i = 1; i <= ListView1->count(); ++i) {
        if (ListView1->itemName(i) == name) {
            ListView1->setCurrentIndex(i);
            break;
        }
    }
}

} // namespace zentrio
