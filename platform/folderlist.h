#pragma once

#include <QListWidget>

#include <string>

namespace zentrio {

// `Dir1`: the current folder with its ancestors above it and its subfolders
// below, like a classic folder list; a double click (or Enter) opens an
// entry. The path is kept as the bytes the file system uses.
class FolderList final : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    const std::string& path() const { return m_path; }
    // Opens the folder; throws ControlError when it does not exist. Emits
    // pathChanged only when the folder differs from the current one.
    void setPath(const std::string& path);

    // Lists the current folder again (its subfolders may have changed).
    void refresh();

Q_SIGNALS:
    void pathChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openEntry(QListWidgetItem* item);

    std::string m_path;
};

} // namespace zentrio
