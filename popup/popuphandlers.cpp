#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "popup/menuform.h"
#include "rename/folderrun/recordedrun.h"

#include "platform/folderlist.h"

#include <QLabel>
#include <QMenuBar>
#include <QLineEdit>

namespace zentrio {

// A right-button release over the list: the row under the pointer becomes
// current (as with a left click, so the menu pairs a file with its own new
// name), then the pop-up menu opens at the pointer.
void Form1::listMouseUp(Qt::MouseButton button, const QPoint& globalPosition)
{
    if (button != Qt::RightButton)
        return;
    const int clicked = ListView1->rowIndexAt(ListView1->viewport()->mapFromGlobal(globalPosition));
    if (clicked != 0) {
        ListView1->setCurrentIndex(clicked);
        listItemClicked();
    }
    openPopup(globalPosition);
}

// Opens the current row's pop-up menu at the given place. Its two name
// lines are inert; a screen reader reads them from the menu's description.
void Form1::openPopup(const QPoint& globalPosition)
{
    const int index = ListView1->currentIndex();
    if (index == 0)
        return;
    if (!menuform) {
        menuform = std::make_unique<MenuForm>();
        connect(menuform->playing, &QAction::triggered, this, &Form1::popupPlayClicked);
        connect(menuform->OK, &QAction::triggered, this, &Form1::popupRenameClicked);
        // A pop-up menu is no child of any window in the accessibility tree;
        // held by a hidden entry of the menu bar, a screen reader finds it
        // there while it is open.
        QAction* holder = menuBar()->addMenu(menuform->sort);
        holder->setVisible(false);
    }
    menuform->setNames(ListView1->itemName(index), ListView1->itemText(index), Text6->text());
    menuform->sort->setAccessibleName(message(QStringLiteral("apopup")));
    menuform->sort->setAccessibleDescription(Label4[0]->text().trimmed() + QStringLiteral(": ") + ListView1->itemText(index)
        + QStringLiteral("; ") + Label4[5]->text().trimmed() + QStringLiteral(": ") + Text6->text());
    menuform->sort->exec(globalPosition);
}

void Form1::popupPlayClicked()
{
    const int index = ListView1->currentIndex();
    const std::string name = ListView1->itemName(index);
    if (name.empty())
        return;
    showMessage(ListView1->itemText(index));
    if (!playfile(Dir1->path(), name))
        showMessage(message(QStringLiteral("error4")));
}

// "OK to rename": renames the file shown in the menu to the new name shown
// there, never over another file; the folder is rescanned unless it failed.
void Form1::popupRenameClicked()
{
    if (!menuform->newFileName().isEmpty()) {
        const RecordedRename rename = renameRecorded(RunHistory::standard(), Dir1->path(), menuform->fileName(),
            textToName(menuform->newFileName()));
        switch (rename.result) {
        case fs::RenameResult::Renamed:
            break;
        case fs::RenameResult::TargetExists:
            showMessage(message(QStringLiteral("error7")));
            return;
        case fs::RenameResult::Failed:
            showMessage(message(QStringLiteral("error8")));
            return;
        }
        frissites(1);
        if (!rename.recorded)
            sayNotUndoable();
        return;
    }
    frissites(1);
}

} // namespace zentrio
