#include "platform/drivelist.h"

#include "platform/controlerror.h"

#include <QStorageInfo>

namespace zentrio {

namespace {

    QString withSeparator(QString path) { return path.endsWith('/') ? path : path + '/'; }

    bool isMediaMount(const QString& root)
    {
        static const QStringList places = { "/media/", "/mnt/", "/run/media/" };
        for (const QString& place : places) {
            if (root.startsWith(place))
                return true;
        }
        return false;
    }

} // namespace

DriveList::DriveList(QWidget* parent)
    : QComboBox(parent)
{
    addItems(mountedDrives());
    connect(this, &QComboBox::currentIndexChanged, this, [this] { Q_EMIT driveChanged(); });
}

QStringList DriveList::mountedDrives()
{
    QStringList drives { "/" };
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = withSeparator(volume.rootPath());
        if (isMediaMount(root) && volume.isValid() && !drives.contains(root))
            drives << root;
    }
    return drives;
}

QString DriveList::drive() const { return currentText(); }

void DriveList::setDrive(const QString& drive)
{
    int position = findText(drive, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (position < 0) {
        const QStorageInfo volume(drive);
        if (!volume.isValid() || withSeparator(volume.rootPath()) != drive)
            throw ControlError("no such drive");
        addItem(drive);
        position = count() - 1;
    }
    setCurrentIndex(position);
}

QString DriveList::driveOf(const QString& path) const
{
    const QString folder = withSeparator(path);
    QString best = "/";
    for (int i = 0; i < count(); ++i) {
        const QString root = itemText(i);
        if (folder.startsWith(root) && root.size() > best.size())
            best = root;
    }
    return best;
}

} // namespace zentrio
