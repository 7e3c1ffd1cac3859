#pragma once

#include <QAbstractTableModel>
#include <QTableView>

#include <string>
#include <vector>

namespace zentrio {

// One row of the file list: the file's name as the disk stores it, the text
// shown for it, and the artist, album and song sub-items.
struct FileRow {
    std::string name;
    QString text;
    QString artist;
    QString album;
    QString song;
    unsigned state = 0x1000; // state-image bits: 0x1000 unchecked, 0x2000 checked
};

class FileListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setRows(std::vector<FileRow> rows);
    void appendRow(FileRow row);
    void setHeader(int column, const QString& text);
    void setCheckBoxes(bool on);
    void setRowState(int position, unsigned state);
    void setSubItem(int position, int subItem, const QString& text);

    const std::vector<FileRow>& rows() const { return m_rows; }
    void setCheckStateTexts(const QString& checked, const QString& unchecked)
    {
        m_checkedText = checked;
        m_uncheckedText = unchecked;
    }

private:
    QString m_checkedText = QStringLiteral("checked");
    QString m_uncheckedText = QStringLiteral("not checked");
    std::vector<FileRow> m_rows;
    QString m_headers[4];
    bool m_checkBoxes = false;
};

// `ListView1`: a report-style list with a check box per row, driven by the
// operations of a classic list-view control: rows by 1-based index, states
// and styles by 0-based position, and the extended-style bits below.
class FileListView final : public QTableView {
    Q_OBJECT
public:
    static constexpr unsigned kGridLines = 0x1;
    static constexpr unsigned kCheckBoxes = 0x4;
    static constexpr unsigned kFullRowSelect = 0x20;
    static constexpr unsigned kUnchecked = 0x1000;
    static constexpr unsigned kChecked = 0x2000;
    static constexpr unsigned kStateImageMask = 0xF000;

    explicit FileListView(QWidget* parent = nullptr);

    int count() const;
    void removeAll();
    // Adds a row with its item text; gives its 1-based index.
    int addRow(const std::string& name);
    void setSubItem(int index, int subItem, const QString& text);
    void setRows(std::vector<FileRow> rows);

    QString itemText(int index) const; // what the row shows
    std::string itemName(int index) const; // the name on disk
    bool isChecked(int position) const;

    // The current item's 1-based index, 0 when none.
    int currentIndex() const;
    void setCurrentIndex(int index);

    unsigned itemState(int position, unsigned mask) const;
    void setItemState(int position, unsigned state, unsigned stateMask);

    unsigned extendedStyle() const { return m_style; }
    void setExtendedStyle(unsigned mask, unsigned style);

    void setHeaderText(int column, const QString& text);
    // The words a screen reader says for a row's check state.
    void setCheckStateTexts(const QString& checked, const QString& unchecked);
    int rowIndexAt(const QPoint& viewportPoint) const; // 1-based, 0 when no row is there

Q_SIGNALS:
    void itemClicked(int index);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& globalPosition);
    // The Menu key or Shift+F10: the current row's menu, at that row.
    void popupRequested(const QPoint& globalPosition);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool validPosition(int position) const;
    // Tells assistive technology that a row's check box changed.
    void announceCheckState(const QModelIndex& cell);

    FileListModel m_model;
    unsigned m_style = 0;
    int m_pressedRow = 0;
};

} // namespace zentrio
