#include "app/form1.h"

#include "about/frmabout.h"
#include "platform/drivelist.h"
#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "platform/folderlist.h"
#include "player/module1.h"
#include "popup/menuform.h"
#include "platform/fs/fsops.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace zentrio {

Form1::Form1(const Form1Services& services, QWidget* parent)
    : QMainWindow(parent)
    , m_settings(services.settings)
    , m_launcher(services.launcher)
    , m_messaging(services.messaging)
    , m_registry(services.registry)
{
    setObjectName(QStringLiteral("Form1"));
    buildControls();
    placeOnStart();
    // The messages are there from the start, so a handler that fails before
    // start-up installs them still shows what went wrong.
    m_texts.installBuiltInMessages();
    connectHandlers();
    setUpKeyboard();
    applyAccessibleTexts();
    setAcceptDrops(true);
}

Form1::~Form1() { delete m_about; }

FrmAbout* Form1::aboutWindow() const { return m_about; }

// The folder list starts in the folder the process started in, the drive
// list on its drive, and the window in the middle of the primary screen.
void Form1::placeOnStart()
{
    const std::string start = fs::currentDirectory();
    Dir1->setPath(start);
    Drive1->setDrive(Drive1->driveOf(QString::fromStdString(start)));
    m_driveFolders[Drive1->drive()] = start;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(sizeHint().width() / 2, sizeHint().height() / 2));
    }
}

void Form1::connectHandlers()
{
    for (QCheckBox* box : { Check1, Check2, Check3, Check5 })
        connect(box, &QCheckBox::stateChanged, this, &Form1::optionClicked);
    connect(Check6, &QCheckBox::stateChanged, this, &Form1::check6Clicked);
    for (QRadioButton* button : { Option1, Option2, Option3, Option4, Option5, Option6, Option7 }) {
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (!on)
                return;
            leaveOwnPattern();
            optionClicked();
        });
    }
    connect(Text2, &QLineEdit::textChanged, this, &Form1::text2Changed);
    connect(merefresh, &QAction::triggered, this, [this] { frissites(1); });
    // The list shows the tags and the files the switches choose, so
    // switching rescans. A menu bar draws no check mark: a switched-on
    // switch shows in bold.
    for (QAction* toggle : { id3v2, formats }) {
        connect(toggle, &QAction::triggered, this, [this] { frissites(1); });
        connect(toggle, &QAction::toggled, this, [toggle](bool on) {
            QFont font = toggle->font();
            font.setBold(on);
            toggle->setFont(font);
        });
    }
    connect(Dir1, &FolderList::pathChanged, this, &Form1::dir1Changed);
    connect(Drive1, &DriveList::driveChanged, this, &Form1::drive1Changed);
    connect(ListView1, &FileListView::itemClicked, this, &Form1::listItemClicked);
    connect(Command1, &QPushButton::clicked, this, &Form1::saveTagClicked);
    connect(Command2, &QPushButton::clicked, this, [this] { Text3->setText(lastArtist); });
    connect(Command3, &QPushButton::clicked, this, [this] { Text4->setText(lastAlbum); });
    connect(Command4, &QPushButton::clicked, this, [this] { Text5->setText(lastSong); });
    connect(selectall, &QAction::triggered, this, [this] { setchecks(true); });
    connect(unselect, &QAction::triggered, this, [this] { setchecks(false); });
    connect(invert, &QAction::triggered, this, &Form1::invertchecks);
    connect(selected, &QAction::triggered, this, &Form1::selectedClicked);
    connect(preview, &QAction::triggered, this, &Form1::previewClicked);
    connect(undo, &QAction::triggered, this, &Form1::undoClicked);
    connect(ownpattern, &QAction::triggered, this, &Form1::ownPatternClicked);
    connect(fromname, &QAction::triggered, this, &Form1::fromNameClicked);
    connect(setforchecked, &QAction::triggered, this, &Form1::setForCheckedClicked);
    connect(undotag, &QAction::triggered, this, &Form1::undoTagClicked);
    connect(savingm3u, &QAction::triggered, this, &Form1::savingm3uClicked);
    connect(about, &QAction::triggered, this, &Form1::aboutClicked);
    connect(Command6, &QPushButton::clicked, this, &Form1::playClicked);
    const std::pair<QPushButton*, int> remote[] = { { Command7, Module1::kPlayPause }, { Command8, Module1::kPrevious },
        { Command9, Module1::kNext }, { Command10, Module1::kStop } };
    for (const auto& [button, number] : remote)
        connect(button, &QPushButton::clicked, this, [this, n = number] { Module1::playercommand(m_messaging, n); });
    connect(ListView1, &FileListView::popupRequested, this, &Form1::openPopup);
    connect(ListView1, &FileListView::mouseReleased, this,
        [this](Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint& at) { listMouseUp(button, at); });
}

TagSource Form1::tagSource() const { return id3v2->isChecked() ? TagSource::Id3v2First : TagSource::Id3v1; }

AudioFormats Form1::listedFormats() const
{
    return formats->isChecked() ? AudioFormats::all() : AudioFormats::only(AudioFormat::Mp3);
}

std::string Form1::currentFolder() const { return folderPath(Dir1->path()); }

NameOptions Form1::nameOptions() const
{
    NameOptions options;
    const QRadioButton* buttons[] = { Option1, Option2, Option3, Option4, Option5, Option6, Option7 };
    for (int i = 0; i < 7; ++i) {
        if (buttons[i]->isChecked())
            options.pattern = static_cast<Pattern>(i + 1);
    }
    options.separator = Text2->text();
    options.numbered = Check1->checkState() == Qt::Checked;
    options.foldO = Check2->checkState() == Qt::Checked;
    options.noAccent = Check3->checkState() == Qt::Checked;
    options.noSpace = Check5->checkState() == Qt::Checked;
    if (m_ownActive) {
        options.pattern = Pattern::Own;
        options.own = std::make_shared<const ParsedPattern>(parsePattern(m_ownPattern));
        options.widths = m_listWidths;
    }
    return options;
}

// "about": opens the About window without an owner, so this window stays usable.
void Form1::aboutClicked()
{
    if (!m_about) {
        m_about = new FrmAbout(m_settings, m_registry);
        m_about->load(frameGeometry());
    }
    m_about->show();
    m_about->raise();
}

void Form1::showMessage(const QString& text, bool repaintNow)
{
    if (Label11->text() == text)
        return;
    Label11->setText(text);
    if (repaintNow)
        Label11->repaint();
}

} // namespace zentrio
