#include "app/form1.h"

#include "platform/filelauncher.h"
#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "platform/folderlist.h"

namespace zentrio {

bool Form1::playfile(const std::string& folder, const std::string& name)
{
    return m_launcher.open(joinPath(folder, name));
}

// ">": plays the current item's file in the desktop's MP3 player.
void Form1::playClicked()
{
    const int index = ListView1->currentIndex();
    if (index == 0) {
        showMessage(message(QStringLiteral("error4")));
        return;
    }
    const std::string name = ListView1->itemName(index);
    if (name.empty())
        return;
    showMessage(' ' + message(QStringLiteral("playing")) + QStringLiteral(" : ") + ListView1->itemText(index));
    if (!playfile(Dir1->path(), name))
        showMessage(message(QStringLiteral("error4")));
}

} // namespace zentrio
