#pragma once

#include <QComboBox>

namespace zentrio {

// `Drive1`: the mounted volumes a user keeps music on: the root folder and
// mounted media. A drive is named by its root path, which ends in "/".
class DriveList final : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    QString drive() const;
    // Selects the drive; throws ControlError when no such drive is mounted.
    void setDrive(const QString& drive);

    // The drive whose root is the longest prefix of the path.
    QString driveOf(const QString& path) const;

Q_SIGNALS:
    void driveChanged();

private:
    static QStringList mountedDrives();
};

} // namespace zentrio
