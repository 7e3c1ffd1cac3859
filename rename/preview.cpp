#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "rename/naming/foldernames.h"
#include "tags/read/tagsource.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace zentrio {

void Form1::frissites2()
{
    if (!Text3->text().isEmpty())
        lastArtist = Text3->text();
    if (!Text4->text().isEmpty())
        lastAlbum = Text4->text();
    if (!Text5->text().isEmpty())
        lastSong = Text5->text();

    const std::string folder = currentFolder();
    showMessage(QString());
    const auto fail = [this] { showMessage(message(QStringLiteral("error5"))); };
    if (!fs::listFolder(folder)) // the folder (or its drive) must be there to read
        return fail();
    Frame4->setTitle(nameForDisplay(folder));
    if (!fs::changeDirectory(folder))
        return fail();

    const int index = ListView1->currentIndex();
    if (ListView1->count() == 0 || index == 0)
        return; // nothing to show: the boxes keep their contents

    Text1->setText(ListView1->itemText(index));
    const std::string name = ListView1->itemName(index);
    const auto read = readFileTag(folder + name, tagSource());
    if (!read)
        return fail();
    const TagFields& tag = *read;
    for (QLineEdit* box : { Text5, Text3, Text4, Text6 })
        box->clear();
    if (!tag.found)
        return;
    Text5->setText(tag.song);
    Text3->setText(tag.artist);
    Text4->setText(tag.album);
    Text6->setText(composeNewName(tag, forFile(nameOptions(), name), index));
}

} // namespace zentrio
