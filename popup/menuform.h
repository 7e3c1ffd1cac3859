#pragma once

#include <QMenu>
#include <QWidget>

#include <string>

namespace zentrio {

// `menuform`: the never-shown holder of the file list's pop-up menu `sort`.
// Each opening stores the file's name and its new name, and the rename uses
// those stored names whatever the menu displays for them.
class MenuForm final : public QWidget {
    Q_OBJECT
public:
    explicit MenuForm(QWidget* parent = nullptr);

    // Sets the two information items for this opening.
    void setNames(const std::string& fileName, const QString& shownFileName, const QString& newFileName);

    const std::string& fileName() const { return m_fileName; }
    const QString& newFileName() const { return m_newFileName; }

    QMenu* sort = nullptr;
    QAction* filename = nullptr;
    QAction* playing = nullptr;
    QAction* newfilename = nullptr;
    QAction* OK = nullptr;

private:
    std::string m_fileName;
    QString m_newFileName;
};

} // namespace zentrio
