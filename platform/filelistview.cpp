#include "platform/filelistview.h"

#include "platform/fs/filenames.h"

#include <QAccessible>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace zentrio {

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FileRow& row = m_rows[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case 0:
            return row.text;
        case 1:
            return row.artist;
        case 2:
            return row.album;
        default:
            return row.song;
        }
    }
    if (role == Qt::CheckStateRole && index.column() == 0 && m_checkBoxes)
        return (row.state & FileListView::kChecked) ? Qt::Checked : Qt::Unchecked;
    // The check state in words as well, for screen readers that are not
    // given a table cell's check state.
    if (role == Qt::AccessibleDescriptionRole && index.column() == 0 && m_checkBoxes)
        return (row.state & FileListView::kChecked) ? m_checkedText : m_uncheckedText;
    return {};
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() != 0)
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    setRowState(index.row(), (m_rows[static_cast<size_t>(index.row())].state & ~FileListView::kStateImageMask)
            | (checked ? FileListView::kChecked : FileListView::kUnchecked));
    return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0 && m_checkBoxes)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return m_headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

void FileListModel::setRows(std::vector<FileRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void FileListModel::appendRow(FileRow row)
{
    const int position = rowCount();
    beginInsertRows({}, position, position);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void FileListModel::setHeader(int column, const QString& text)
{
    m_headers[column] = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

void FileListModel::setCheckBoxes(bool on)
{
    if (m_checkBoxes == on)
        return;
    beginResetModel();
    m_checkBoxes = on;
    endResetModel();
}

void FileListModel::setRowState(int position, unsigned state)
{
    m_rows[static_cast<size_t>(position)].state = state;
    const QModelIndex cell = index(position, 0);
    Q_EMIT dataChanged(cell, cell, { Qt::CheckStateRole });
}

void FileListModel::setSubItem(int position, int subItem, const QString& text)
{
    FileRow& row = m_rows[static_cast<size_t>(position)];
    (subItem == 1 ? row.artist : subItem == 2 ? row.album : row.song) = text;
    const QModelIndex cell = index(position, subItem);
    Q_EMIT dataChanged(cell, cell, { Qt::DisplayRole });
}

FileListView::FileListView(QWidget* parent)
    : QTableView(parent)
{
    setModel(&m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setSortingEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    // Tab leaves the list for the next control; the arrows move inside it.
    setTabKeyNavigation(false);
    connect(&m_model, &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex& first, const QModelIndex&, const QList<int>& roles) {
            if (roles.contains(Qt::CheckStateRole))
                announceCheckState(first);
        });
}

void FileListView::setCheckStateTexts(const QString& checked, const QString& unchecked)
{
    m_model.setCheckStateTexts(checked, unchecked);
}

void FileListView::announceCheckState(const QModelIndex& cell)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr;
    QAccessibleInterface* item = cells ? cells->cellAt(cell.row(), cell.column()) : nullptr;
    if (!item)
        return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    event.setChild(table->indexOfChild(item));
    QAccessible::updateAccessibility(&event);
    QAccessibleEvent described(this, QAccessible::DescriptionChanged);
    described.setChild(table->indexOfChild(item));
    QAccessible::updateAccessibility(&described);
}

bool FileListView::validPosition(int position) const { return position >= 0 && position < count(); }

int FileListView::count() const { return m_model.rowCount(); }

void FileListView::removeAll() { m_model.setRows({}); }

int FileListView::addRow(const std::string& name)
{
    m_model.appendRow(FileRow { name, nameForDisplay(name), {}, {}, {}, kUnchecked });
    return count();
}

void FileListView::setSubItem(int index, int subItem, const QString& text)
{
    if (validPosition(index - 1) && subItem >= 1 && subItem <= 3)
        m_model.setSubItem(index - 1, subItem, text);
}

void FileListView::setRows(std::vector<FileRow> rows) { m_model.setRows(std::move(rows)); }

QString FileListView::itemText(int index) const
{
    return validPosition(index - 1) ? m_model.rows()[static_cast<size_t>(index - 1)].text : QString();
}

std::string FileListView::itemName(int index) const
{
    return validPosition(index - 1) ? m_model.rows()[static_cast<size_t>(index - 1)].name : std::string();
}

bool FileListView::isChecked(int position) const { return itemState(position, kStateImageMask) & kChecked; }

int FileListView::currentIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? 0 : selected.first().row() + 1;
}

void FileListView::setCurrentIndex(int index)
{
    if (!validPosition(index - 1))
        return;
    const QModelIndex cell = m_model.index(index - 1, 0);
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect
            | ((m_style & kFullRowSelect) ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
    scrollTo(cell);
}

unsigned FileListView::itemState(int position, unsigned mask) const
{
    return validPosition(position) ? m_model.rows()[static_cast<size_t>(position)].state & mask : 0;
}

void FileListView::setItemState(int position, unsigned state, unsigned stateMask)
{
    if (!validPosition(position))
        return;
    const unsigned old = m_model.rows()[static_cast<size_t>(position)].state;
    m_model.setRowState(position, (old & ~stateMask) | (state & stateMask));
}

void FileListView::setExtendedStyle(unsigned mask, unsigned style)
{
    m_style = mask == 0 ? style : (m_style & ~mask) | (style & mask);
    setShowGrid(m_style & kGridLines);
    m_model.setCheckBoxes(m_style & kCheckBoxes);
    setSelectionBehavior((m_style & kFullRowSelect) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void FileListView::setHeaderText(int column, const QString& text)
{
    if (column >= 1 && column <= 4)
        m_model.setHeader(column - 1, text);
}

int FileListView::rowIndexAt(const QPoint& viewportPoint) const
{
    const QModelIndex index = QTableView::indexAt(viewportPoint);
    return index.isValid() ? index.row() + 1 : 0;
}

void FileListView::mousePressEvent(QMouseEvent* event)
{
    m_pressedRow = rowIndexAt(event->position().toPoint());
    // The right button leaves the selection alone: its release decides what
    // becomes current, and over an empty part the current item stays.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

// An item click is a left press and release on the same row; every release
// is reported, with its button, for the pop-up menu.
void FileListView::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    const int row = rowIndexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && row != 0 && row == m_pressedRow)
        Q_EMIT itemClicked(row);
    Q_EMIT mouseReleased(event->button(), event->modifiers(), event->globalPosition().toPoint());
}

void FileListView::keyPressEvent(QKeyEvent* event)
{
    const int current = currentIndex();
    const bool menuKey = event->key() == Qt::Key_Menu
        || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey && current != 0) {
        const QRect row = visualRect(m_model.index(current - 1, 1));
        Q_EMIT popupRequested(viewport()->mapToGlobal(row.bottomLeft()));
        return;
    }
    if (event->key() == Qt::Key_Space && current != 0 && (m_style & kCheckBoxes)) {
        const QModelIndex box = m_model.index(current - 1, 0);
        m_model.setData(box, isChecked(current - 1) ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return;
    }
    const int before = current;
    QTableView::keyPressEvent(event);
    const int after = currentIndex();
    if (after != 0 && after != before)
        Q_EMIT itemClicked(after);
}

} // namespace zentrio
