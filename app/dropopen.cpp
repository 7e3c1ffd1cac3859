#include "app/form1.h"

#include "platform/fs/droptarget.h"
#include "platform/filelistview.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace zentrio {

namespace {

    // The dropped URLs as local paths in their raw bytes (a name that is not
    // valid UTF-8 keeps its bytes); an empty path for any other URL.
    std::vector<std::string> droppedPaths(const QMimeData* mime)
    {
        std::vector<std::string> paths;
        if (!mime || !mime->hasUrls())
            return paths;
        for (const QUrl& url : mime->urls()) {
            paths.push_back(url.isLocalFile()
                    ? QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString()
                    : std::string());
        }
        return paths;
    }

} // namespace

ListedName Form1::listedName() const
{
    return [formats = listedFormats()](std::string_view name) { return isAudioFileName(name, formats); };
}

// A drag that may open something shows the drop pointer; any other shows
// "no". Judged by the dragged names alone: the files are looked at once, at
// the drop.
void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (mayBeDropTarget(droppedPaths(event->mimeData()), listedName()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void Form1::dragMoveEvent(QDragMoveEvent* event)
{
    if (mayBeDropTarget(droppedPaths(event->mimeData()), listedName()))
        event->acceptProposedAction();
    else
        event->ignore();
}

// A dropped folder opens as choosing it in the folder list does; dropped
// audio files the list shows (MP3 files, or every format with "all
// formats" on) open their folder with the first of them as the current item.
void Form1::dropEvent(QDropEvent* event)
{
    const auto target = dropTarget(droppedPaths(event->mimeData()), listedName());
    if (!target) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    openFolder(target->folder);
    if (target->file.empty())
        return;
    for (int index = 1; index <= ListView1->count(); ++index) {
        if (ListView1->itemName(index) == target->file) {
            ListView1->setCurrentIndex(index);
            listItemClicked();
            return;
        }
    }
}

} // namespace zentrio
