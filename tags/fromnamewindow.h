#pragma once

#include "tags/tagwrite.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace zentrio {

class InterfaceTexts;

// Tags from file names: a pattern in the naming pattern's language is
// matched against each checked file's name without ".mp3"; the table shows
// what each field would get, or "no match". Nothing is written until
// "apply", which hands over the matching files with their values.
class FromNameWindow final : public QDialog {
    Q_OBJECT
public:
    using Apply = std::function<void(const std::vector<std::pair<std::string, TagValues>>& files, int unmatched)>;
    // `names` are the checked files' names on disk; with `id3v2` off only
    // song, artist and album are written.
    FromNameWindow(std::vector<std::string> names, bool id3v2, const InterfaceTexts& texts, Apply apply,
        QWidget* parent = nullptr);

    QLineEdit* patternBox = nullptr;
    QCheckBox* underscores = nullptr;
    QLabel* note = nullptr;
    QTreeWidget* rows = nullptr;
    QPushButton* applyButton = nullptr;
    QPushButton* closeButton = nullptr;

private:
    void refresh();
    // Each file's values by the pattern as typed; nullopt where it does not fit.
    std::vector<std::optional<TagValues>> matches() const;

    std::vector<std::string> m_names;
    bool m_id3v2;
    const InterfaceTexts& m_texts;
};

} // namespace zentrio
