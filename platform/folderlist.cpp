#include "platform/folderlist.h"

#include "platform/controlerror.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <QKeyEvent>
#include <QStyle>

#include <algorithm>
#include <filesystem>

namespace zentrio {

namespace {

    constexpr int kPathRole = Qt::UserRole;

    std::string normalised(const std::string& path)
    {
        std::string p = std::filesystem::path(path).lexically_normal().string();
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        return p;
    }

    // The folder and its ancestors, root first.
    std::vector<std::string> ancestry(const std::string& path)
    {
        std::vector<std::string> chain;
        std::string p = path;
        for (;;) {
            chain.push_back(p);
            if (p == "/")
                break;
            const auto slash = p.rfind('/');
            p = slash == 0 ? std::string("/") : p.substr(0, slash);
        }
        std::reverse(chain.begin(), chain.end());
        return chain;
    }

    QString lastComponent(const std::string& path)
    {
        if (path == "/")
            return QStringLiteral("/");
        return nameForDisplay(path.substr(path.rfind('/') + 1));
    }

} // namespace

FolderList::FolderList(QWidget* parent)
    : QListWidget(parent)
{
    connect(this, &QListWidget::itemDoubleClicked, this, &FolderList::openEntry);
}

void FolderList::setPath(const std::string& path)
{
    if (!fs::isFolder(path))
        throw ControlError("no such folder");
    const std::string target = normalised(path.front() == '/' ? path : joinPath(fs::currentDirectory(), path));
    if (target == m_path)
        return;
    m_path = target;
    refresh();
    Q_EMIT pathChanged();
}

void FolderList::refresh()
{
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const std::vector<std::string> chain = ancestry(m_path);
    int depth = 0;
    for (const std::string& folder : chain) {
        auto* item = new QListWidgetItem(openIcon, QString(depth * 2, u' ') + lastComponent(folder), this);
        item->setData(kPathRole, QByteArray::fromStdString(folder));
        ++depth;
    }
    setCurrentRow(count() - 1);
    std::vector<std::string> subfolders;
    if (const auto entries = fs::listFolder(m_path)) {
        for (const fs::DirEntry& entry : *entries) {
            if (entry.isFolder)
                subfolders.push_back(entry.name);
        }
    }
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::string& name : subfolders) {
        auto* item = new QListWidgetItem(closedIcon, QString(depth * 2, u' ') + nameForDisplay(name), this);
        item->setData(kPathRole, QByteArray::fromStdString(joinPath(m_path, name)));
    }
}

void FolderList::openEntry(QListWidgetItem* item)
{
    if (!item)
        return;
    try {
        setPath(item->data(kPathRole).toByteArray().toStdString());
    } catch (const ControlError&) {
        refresh(); // the folder vanished: show what is there now
    }
}

void FolderList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openEntry(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace zentrio
