#pragma once

#include "tags/write/tagbatchrequest.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zentrio {

class InterfaceTexts;

// One edit for many files: boxes for artist, album, year, genre and album
// artist, and the files they go into (the files checked when the window
// opened, in the folder shown then). "apply" hands over the boxes that hold
// text (an empty box leaves that field as it is in each file). With the
// ID3v1 source only artist and album can be written, and the other boxes
// are greyed out.
class SetForCheckedWindow final : public QDialog {
    Q_OBJECT
public:
    SetForCheckedWindow(std::string folder, std::vector<std::string> names, TagSource source,
        const InterfaceTexts& texts, std::function<void(const TagBatchRequest&)> apply, QWidget* parent = nullptr);

    // Follows the main window's ID3v2 switch: the boxes the new source can
    // hold are open, the others greyed out.
    void setTagSource(TagSource source);

    QLabel* files = nullptr; // how many files, in which folder
    QLineEdit* artist = nullptr;
    QLineEdit* album = nullptr;
    QLineEdit* year = nullptr;
    QLineEdit* genre = nullptr;
    QLineEdit* albumArtist = nullptr;
    QLabel* note = nullptr;
    QPushButton* applyButton = nullptr;
    QPushButton* closeButton = nullptr;

private:
    std::vector<std::pair<QLineEdit*, TagField>> boxes() const;
    TagBatchRequest request() const;

    std::string m_folder;
    std::vector<std::string> m_names;
    TagSource m_source;
    const InterfaceTexts& m_texts;
};

} // namespace zentrio
