#pragma once

#include "app/interfacetexts.h"
#include "platform/fs/droptarget.h"
#include "platform/fs/fsops.h"
#include "rename/naming/compose.h"
#include "rename/history/journalfolder.h"
#include "tags/read/audiofile.h"
#include "tags/read/tagsource.h"
#include "tags/write/tagbatchrequest.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QShortcut;

namespace zentrio {

namespace fs {
    struct RepairOutcome;
}

class DriveList;
class FileListView;
class FolderList;
class SettingsStore;
class FileLauncher;
class WindowMessaging;
class MenuForm;
class Registry;
class FrmAbout;
class RunPreview;
class OwnPatternWindow;
struct RunItem;

// What the main window needs of the desktop; tests hand in fakes.
struct Form1Services {
    SettingsStore& settings;
    FileLauncher& launcher;
    WindowMessaging& messaging;
    Registry& registry;
};

// The main window. It owns all state: its controls, the interface texts and
// the three remembered tag values. Options are read from the controls at the
// moment they are needed.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(const Form1Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: restores the last session's state, installs the interface
    // texts and scans the folder. Its first failure silently ends it.
    void load();

    // `frissites`: rescans the folder into the file list; with kell = 1 it
    // first shows the reading message.
    void frissites(int kell);
    // `frissites2`: shows the current item's name and tag in the detail boxes
    // and composes its new name into Text6.
    void frissites2();
    // Writes the settings as closing the window does (for a session's end).
    void writeSettings() { saveSettings(); }
    // Opens a folder given on the command line, as choosing it in the folder list does.
    void openFolder(const std::string& folder);
    // `savem3u`: writes the folder's playlist; reports only failures.
    void savem3u();
    // Sets or clears every row's check mark, or turns each one over.
    void setchecks(bool checked);
    void invertchecks();

    const InterfaceTexts& texts() const { return m_texts; }
    MenuForm* menuForm() const { return menuform.get(); }
    FrmAbout* aboutWindow() const;
    RunPreview* runPreview() const;
    OwnPatternWindow* ownPatternWindow() const;
    // Whether the own naming pattern is the active pattern, and its text.
    bool ownPatternActive() const { return m_ownActive; }
    const QString& ownPattern() const { return m_ownPattern; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // A folder or MP3 files dropped on the window open there.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void placeOnStart();
    void connectHandlers();

    // Start-up and shutdown steps.
    void restoreSettings();
    void showRepairOutcome(const fs::RepairOutcome& repaired);
    void restoreOwnPattern();
    static constexpr int kRecentPatterns = 10;
    void applyLanguagePack();
    void applyEnglish();
    void applyCaptions(const std::function<QString(const QString&)>& pack);
    // The "language" menu: English and the packs found; choosing one
    // switches to it at once and remembers it in the settings.
    void refreshLanguageMenu();
    void languageChosen(const QString& packPath);
    void saveSettings();

    // Handlers.
    void optionClicked();
    void check6Clicked();
    void text2Changed();
    void dir1Changed();
    void drive1Changed();
    void listItemClicked();
    void saveTagClicked();
    void selectedClicked();
    void previewClicked();
    void undoClicked();
    // "own pattern": opens the pattern's window; its OK makes the pattern
    // the active one, and any of the seven pattern buttons leaves it.
    void ownPatternClicked();
    void activateOwnPattern(const QString& pattern);
    void leaveOwnPattern();
    void showActivePattern();
    // The "tag" menu: tags from file names, one edit for many files, and
    // undo of the newest tag change.
    void fromNameClicked();
    void setForCheckedClicked();
    void undoTagClicked();
    // Writes the values into the named files of the request's folder by its
    // tag source after recording their old tags, rescans, and reports how
    // many were written.
    // `leftAlone` files of other formats were checked but not given to it.
    void applyTagValues(const TagBatchRequest& request, const std::map<std::string, fs::FileIdentity>& shown,
        std::size_t leftAlone);
    // Closes a tag window when another folder is listed; passes the ID3v2 switch on to it.
    template <class TagWindow> void bindToListing(TagWindow* window);
    QString currentNewName(const NameOptions& options) const;
    std::vector<RunItem> runItems() const;
    // Adds to the message line that the run just made cannot be undone.
    void sayNotUndoable();
    void savingm3uClicked();
    void playClicked();
    void listMouseUp(Qt::MouseButton button, const QPoint& globalPosition);
    void openPopup(const QPoint& globalPosition);
    // Keyboard order, menu keys, accessible names and tooltips.
    void setUpKeyboard();
    void applyAccessibleTexts();
    void popupPlayClicked();
    void popupRenameClicked();
    void aboutClicked();

    // `playfile`: opens folder + name in the desktop's MP3 player.
    bool playfile(const std::string& folder, const std::string& name);

    // Helpers.
    std::string currentFolder() const; // Dir1's path with the separator appended
    NameOptions nameOptions() const;
    TagSource tagSource() const; // from the "ID3v2" switch, read when needed
    // The formats the list shows and a run renames: MP3 alone, or every
    // format with the "all formats" switch on.
    AudioFormats listedFormats() const;
    ListedName listedName() const; // for a drop
    std::vector<std::string> checkedTagNames(const std::vector<RunItem>& items) const;
    // Says on the message line that `count` checked files of other formats
    // than MP3 were left alone by a tag command (nothing when none).
    void sayOtherFormatsLeftAlone(std::size_t count);
    void showMessage(const QString& text, bool repaintNow = false);
    QString message(const QString& key) const { return m_texts.message(key); }

public:
    // Controls, named as the design names them.
    FileListView* ListView1 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label22 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    std::array<QLabel*, 2> Label3 {};
    std::array<QLabel*, 6> Label4 {};
    QLabel* Label14 = nullptr;
    std::array<QGroupBox*, 3> Frame1 {};
    DriveList* Drive1 = nullptr;
    FolderList* Dir1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QRadioButton* Option5 = nullptr;
    QRadioButton* Option6 = nullptr;
    QRadioButton* Option7 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check5 = nullptr;
    QCheckBox* Check6 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLineEdit* Text6 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* Command10 = nullptr;
    QMenu* rename = nullptr;
    QAction* selected = nullptr;
    QAction* preview = nullptr; // what "selected" would do, file by file
    QAction* undo = nullptr; // renames the newest recorded run back
    QAction* ownpattern = nullptr; // opens the own naming pattern's window
    QMenu* tagmenu = nullptr; // "tag"
    QAction* fromname = nullptr; // tags from file names
    QAction* setforchecked = nullptr; // one field for every checked file
    QAction* undotag = nullptr; // puts the newest tag change's old tags back
    QAction* keeptime = nullptr; // files the tag commands write keep their modification time
    QMenu* meselect = nullptr;
    QAction* selectall = nullptr;
    QAction* unselect = nullptr;
    QAction* invert = nullptr;
    QAction* savingm3u = nullptr;
    QAction* merefresh = nullptr;
    QAction* id3v2 = nullptr; // the switch: ID3v2 tags first, when checked
    QAction* formats = nullptr; // the switch: audio files of every format listed and renamed, when checked
    QAction* about = nullptr;
    QMenu* language = nullptr;

private:
    SettingsStore& m_settings;
    FileLauncher& m_launcher;
    WindowMessaging& m_messaging;
    Registry& m_registry;
    QPointer<FrmAbout> m_about; // open until closed, even after this window closes
    QPointer<RunPreview> m_preview;
    QPointer<OwnPatternWindow> m_ownPatternWindow;
    QString m_ownPattern; // as typed
    bool m_ownActive = false;
    QStringList m_recentPatterns; // newest first, at most ten
    NumberWidths m_listWidths; // the own pattern's number widths over the listed files
    QString m_filetypeCaption; // the pattern frame's caption while no own pattern is active
    std::unique_ptr<MenuForm> menuform; // the pop-up menu's holder, made on first use
    InterfaceTexts m_texts;
    QString lastArtist;
    QString lastAlbum;
    QString lastSong;
    std::map<QString, std::string> m_driveFolders; // the last folder visited on each drive
    std::vector<QShortcut*> m_menuKeys; // Alt+letter for each menu-bar entry
};

} // namespace zentrio
