#pragma once

#include "tags/tagwrite.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

namespace zentrio {

class InterfaceTexts;

// One edit for many files: boxes for artist, album, year, genre and album
// artist; "apply" hands over the boxes that hold text (an empty box leaves
// that field as it is in each file). With ID3v2 off only artist and album
// can be written, and the other boxes are greyed out.
class SetForCheckedWindow final : public QDialog {
    Q_OBJECT
public:
    SetForCheckedWindow(bool id3v2, const InterfaceTexts& texts, std::function<void(const TagValues&)> apply,
        QWidget* parent = nullptr);

    QLineEdit* artist = nullptr;
    QLineEdit* album = nullptr;
    QLineEdit* year = nullptr;
    QLineEdit* genre = nullptr;
    QLineEdit* albumArtist = nullptr;
    QPushButton* applyButton = nullptr;
    QPushButton* closeButton = nullptr;
};

} // namespace zentrio
