#pragma once

#include "rename/naming/pattern.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zentrio {

class InterfaceTexts;

// The own naming pattern's window: a pattern box, the fields with what each
// gives (choosing one inserts it at the cursor), the current file's new name
// by the pattern as it is typed, the recent patterns, and OK / cancel. OK is
// offered only for a pattern that can be read; a fault is named with its place.
class OwnPatternWindow final : public QDialog {
    Q_OBJECT
public:
    // `nameOf` gives the current file's new name by a parsed pattern;
    // `accepted` takes the pattern's text when OK is pressed.
    OwnPatternWindow(const QString& pattern, const QStringList& recent, const InterfaceTexts& texts,
        std::function<QString(const ParsedPattern&)> nameOf, std::function<void(const QString&)> accepted,
        QWidget* parent = nullptr);

    // The message for a pattern that cannot be read, naming the 1-based place.
    static QString errorText(const PatternError& error, const InterfaceTexts& texts);

    QLineEdit* patternBox = nullptr;
    QListWidget* fields = nullptr;
    QLabel* newName = nullptr;
    QComboBox* recentPatterns = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    void patternEdited();
    void insertField(int row);

    const InterfaceTexts& m_texts;
    std::function<QString(const ParsedPattern&)> m_nameOf;
};

} // namespace zentrio
