#include "app/form1.h"

#include "platform/controlerror.h"
#include "platform/drivelist.h"
#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "platform/folderlist.h"
#include "platform/fs/fsops.h"
#include "tags/read/folderscan.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zentrio {

namespace {

    std::vector<FileRow> rowsOf(std::vector<ScanRow>& scanned)
    {
        std::vector<FileRow> rows;
        rows.reserve(scanned.size());
        for (ScanRow& s : scanned) {
            QString text = nameForDisplay(s.name);
            rows.push_back({ std::move(s.name), std::move(text), s.tag.artist, s.tag.album, s.tag.song,
                FileListView::kUnchecked });
        }
        return rows;
    }

} // namespace

void Form1::frissites(int kell)
{
    if (kell == 1)
        showMessage(message(QStringLiteral("reading")), true);
    const std::string folder = currentFolder();
    if (kell == 1)
        Label11->setText(QString()); // shows once the window repaints after the scan
    FolderScan scan = scanFolder(folder, tagSource(), listedFormats());
    if (scan.outcome == FolderScan::Outcome::ListingFailed) {
        showMessage(message(QStringLiteral("error2")));
        return;
    }
    Frame4->setTitle(nameForDisplay(folder));
    fs::changeDirectory(folder);
    std::vector<const TagFields*> tags;
    for (const ScanRow& row : scan.rows)
        tags.push_back(&row.tag);
    m_listWidths = widestNumbers(tags);
    ListView1->setRows(rowsOf(scan.rows));
    if (scan.outcome != FolderScan::Outcome::Scanned)
        showMessage(message(QStringLiteral("error2")));
}

void Form1::openFolder(const std::string& folder)
{
    try {
        Drive1->setDrive(Drive1->driveOf(QString::fromStdString(folder)));
        Dir1->setPath(folder);
    } catch (const ControlError&) {
        showMessage(message(QStringLiteral("error5")));
    }
}

void Form1::dir1Changed()
{
    for (QLineEdit* box : { Text1, Text3, Text4, Text5, Text6 })
        box->clear();
    Command1->setEnabled(false);
    m_driveFolders[Drive1->driveOf(QString::fromStdString(Dir1->path()))] = Dir1->path();
    frissites(1);
}

// Moves the folder list to the chosen drive's current folder: the folder
// list's own when it is on that drive, else the last one visited there.
void Form1::drive1Changed()
{
    const QString drive = Drive1->drive();
    std::string target = drive.toStdString();
    if (Drive1->driveOf(QString::fromStdString(Dir1->path())) == drive)
        target = Dir1->path();
    else if (const auto known = m_driveFolders.find(drive); known != m_driveFolders.end() && fs::isFolder(known->second))
        target = known->second;
    try {
        Dir1->setPath(target);
    } catch (const ControlError&) {
        showMessage(message(QStringLiteral("error5")));
        return;
    }
    frissites(1);
}

} // namespace zentrio
