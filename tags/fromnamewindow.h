#pragma once

#include "tags/write/tagbatchrequest.h"

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
// "apply", which hands over the matching files of the folder the window
// shows, with their values and the tag source the window shows.
class FromNameWindow final : public QDialog {
    Q_OBJECT
public:
    using Apply = std::function<void(const TagBatchRequest&)>;
    // `names` are the checked files' names on disk in `folder`; with the
    // ID3v1 source only song, artist and album are written.
    FromNameWindow(std::string folder, std::vector<std::string> names, TagSource source, const InterfaceTexts& texts,
        Apply apply, QWidget* parent = nullptr);

    // Follows the main window's ID3v2 switch: the table and "apply" then
    // give what the new source can hold.
    void setTagSource(TagSource source);

    QLabel* files = nullptr; // how many files, in which folder
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
    TagBatchRequest request() const;

    std::string m_folder;
    std::vector<std::string> m_names;
    TagSource m_source;
    const InterfaceTexts& m_texts;
};

} // namespace zentrio
