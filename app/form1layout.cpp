#include "app/form1.h"

#include "app/twipslayout.h"

#include "platform/drivelist.h"
#include "platform/filelistview.h"
#include "platform/folderlist.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

namespace zentrio {

namespace {

    using twips::Place;

    // Every control's place in twips, from the top-left corner of its container.
    constexpr Place kPlaces[] = {
        { "ListView1", 0, 0, 11895, 3375, "Courier New", 8.25 },
        { "Frame4", 0, 0, 11655, 3495, "MS Sans Serif", 9.75 },
        { "Label3_1", 3240, 3480, 1695, 255, "Courier New", 8.25 },
        { "Label11", 3360, 3720, 8535, 255, "Courier New", 8.25 },
        { "Label22", 8280, 3960, 3615, 255, nullptr, 0 },
        { "Command6", 9120, 4080, 375, 255, "Courier New", 9 },
        { "Command7", 9480, 4080, 375, 255, nullptr, 0 },
        { "Command8", 9840, 4080, 375, 255, nullptr, 0 },
        { "Command9", 10200, 4080, 375, 255, nullptr, 0 },
        { "Command10", 10560, 4080, 375, 255, nullptr, 0 },
        { "Command1", 10920, 4080, 855, 255, nullptr, 0 },
        { "Label2", 3240, 4200, 2175, 255, "Courier New", 8.25 },
        { "Label3_0", 5400, 4200, 1575, 255, "Courier New", 8.25 },
        { "Label4_4", 6960, 4200, 4935, 255, "Courier New", 8.25 },
        { "Frame1_1", 0, 3480, 3255, 2895, "MS Sans Serif", 9.75 },
        { "Frame1_0", 3240, 4560, 2295, 1815, "MS Sans Serif", 9.75 },
        { "Frame1_2", 5400, 4560, 1455, 1815, "MS Sans Serif", 9.75 },
        { "Label4_0", 6960, 4560, 1095, 255, "Courier New", 8.25 },
        { "Text1", 8040, 4680, 3855, 225, "Courier New", 8.25 },
        { "Label4_2", 6960, 4920, 1095, 255, "Courier New", 8.25 },
        { "Text3", 8040, 5040, 3375, 225, "Courier New", 8.25 },
        { "Command2", 11520, 5040, 375, 255, nullptr, 0 },
        { "Label4_1", 6960, 5280, 1095, 255, "Courier New", 8.25 },
        { "Text4", 8040, 5400, 3375, 225, "Courier New", 8.25 },
        { "Command3", 11520, 5400, 375, 255, nullptr, 0 },
        { "Label4_3", 6960, 5640, 1095, 255, "Courier New", 8.25 },
        { "Text5", 8040, 5760, 3375, 225, "Courier New", 8.25 },
        { "Command4", 11520, 5760, 375, 255, nullptr, 0 },
        { "Label4_5", 6960, 6000, 1095, 255, "Courier New", 8.25 },
        { "Text6", 8040, 6120, 3855, 225, "Courier New", 8.25 },
        { "Label1", -120, 6480, 12015, 255, "Small Fonts", 6.75 },
        // inside Frame1_1, "select mp3 folder"
        { "Drive1", 0, 0, 3255, 330, "Courier New", 8.25 },
        { "Dir1", 0, 360, 3210, 2490, "Courier New", 8.25 },
        // inside Frame1_0, "select filetype"
        { "Option1", 120, 0, 1575, 255, "Times New Roman", 9 },
        { "Option2", 120, 240, 1935, 255, "Times New Roman", 9 },
        { "Option3", 120, 480, 2295, 255, "Times New Roman", 9 },
        { "Option4", 120, 720, 2295, 255, "Times New Roman", 9 },
        { "Option5", 120, 960, 2175, 255, "Times New Roman", 9 },
        { "Option6", 120, 1200, 2175, 255, "Times New Roman", 9 },
        { "Option7", 120, 1440, 1935, 255, "Times New Roman", 9 },
        // inside Frame1_2, "options"
        { "Check1", 0, 0, 1335, 255, "Times New Roman", 11.25 },
        { "Check2", 0, 240, 1335, 255, "Times New Roman", 11.25 },
        { "Check3", 0, 480, 1335, 255, "Times New Roman", 11.25 },
        { "Check4", 0, 720, 1335, 255, "Times New Roman", 11.25 },
        { "Check5", 0, 960, 1335, 255, "Times New Roman", 11.25 },
        { "Check6", 0, 1200, 1215, 255, "Times New Roman", 11.25 },
        { "Label14_1", 0, 1440, 855, 255, "Times New Roman", 11.25 },
        { "Text2", 960, 1440, 495, 330, "MS Sans Serif", 9.75 },
    };

} // namespace

// Creates a control of the main window at its place.
template <typename W, typename... Args> W* placeControl(QWidget* parent, const char* name, Args&&... args)
{
    return twips::make<W>(parent, kPlaces, name, std::forward<Args>(args)...);
}

void Form1::buildControls()
{
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPointSizeF(8.25);
    setFont(windowFont);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips::px(11925), twips::px(6735));
    twips::fill(client, twips::kGrey);
    setCentralWidget(client);

    Frame4 = placeControl<QGroupBox>(client, "Frame4", QStringLiteral("no selected directory"));
    ListView1 = placeControl<FileListView>(client, "ListView1");
    ListView1->setHeaderText(1, QStringLiteral("filename"));
    ListView1->setHeaderText(2, QStringLiteral("artist"));
    ListView1->setHeaderText(3, QStringLiteral("album"));
    ListView1->setHeaderText(4, QStringLiteral("song"));
    ListView1->setColumnWidth(0, twips::px(4200));
    ListView1->setColumnWidth(1, twips::px(2500));
    ListView1->setColumnWidth(2, twips::px(2500));
    ListView1->setColumnWidth(3, twips::px(2400));

    Label3[1] = placeControl<QLabel>(client, "Label3_1", QStringLiteral("messages"));
    Label11 = placeControl<QLabel>(client, "Label11", QString());
    twips::fill(Label11, Qt::white);
    twips::colourText(Label11, Qt::black);
    Label22 = placeControl<QLabel>(client, "Label22", QStringLiteral("controller"));
    twips::fill(Label22, twips::kNavy);
    twips::colourText(Label22, Qt::white);
    Command6 = placeControl<QPushButton>(client, "Command6", QStringLiteral(">"));
    Command7 = placeControl<QPushButton>(client, "Command7", QStringLiteral("||"));
    Command8 = placeControl<QPushButton>(client, "Command8", QStringLiteral("<<"));
    Command9 = placeControl<QPushButton>(client, "Command9", QStringLiteral(">>"));
    Command10 = placeControl<QPushButton>(client, "Command10", QStringLiteral("C"));
    Command1 = placeControl<QPushButton>(client, "Command1", QStringLiteral("save tag"));
    Command1->setEnabled(false);
    Label2 = placeControl<QLabel>(client, "Label2", QStringLiteral("mp3 filetype"));
    m_filetypeCaption = Label2->text();
    Label3[0] = placeControl<QLabel>(client, "Label3_0", QStringLiteral("options"));
    Label4[4] = placeControl<QLabel>(client, "Label4_4", QStringLiteral("mp3"));

    Frame1[1] = placeControl<QGroupBox>(client, "Frame1_1", QStringLiteral("select mp3 folder"));
    Frame1[0] = placeControl<QGroupBox>(client, "Frame1_0", QStringLiteral("select filetype"));
    Frame1[2] = placeControl<QGroupBox>(client, "Frame1_2", QStringLiteral("options"));

    Label4[0] = placeControl<QLabel>(client, "Label4_0", QStringLiteral("filename "));
    Text1 = placeControl<QLineEdit>(client, "Text1");
    Text1->setReadOnly(true);
    Label4[2] = placeControl<QLabel>(client, "Label4_2", QStringLiteral("artist "));
    Text3 = placeControl<QLineEdit>(client, "Text3");
    Command2 = placeControl<QPushButton>(client, "Command2", QStringLiteral("TAG"));
    Label4[1] = placeControl<QLabel>(client, "Label4_1", QStringLiteral("album "));
    Text4 = placeControl<QLineEdit>(client, "Text4");
    Command3 = placeControl<QPushButton>(client, "Command3", QStringLiteral("TAG"));
    Label4[3] = placeControl<QLabel>(client, "Label4_3", QStringLiteral("song "));
    Text5 = placeControl<QLineEdit>(client, "Text5");
    Command4 = placeControl<QPushButton>(client, "Command4", QStringLiteral("TAG"));
    Label4[5] = placeControl<QLabel>(client, "Label4_5", QStringLiteral("new name "));
    Text6 = placeControl<QLineEdit>(client, "Text6");
    Text6->setReadOnly(true);
    Label1 = placeControl<QLabel>(client, "Label1",
        QStringLiteral("Zentrio - renames MP3 files from their ID3v1 tags - free software, no warranty"));
    Label1->setAlignment(Qt::AlignCenter);

    for (QLabel* label : { Label1, Label2, Label3[0], Label3[1], Label4[0], Label4[1], Label4[2], Label4[3],
             Label4[4], Label4[5] })
        twips::navy(label);
    for (int i : { 0, 1, 2, 3, 5 })
        Label4[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLineEdit* box : { Text1, Text3, Text4, Text5, Text6 })
        box->setFrame(false);

    // A frame's children are placed from its top-left corner, over its caption.
    QWidget* folders = Frame1[1];
    Drive1 = placeControl<DriveList>(folders, "Drive1");
    Dir1 = placeControl<FolderList>(folders, "Dir1");

    QWidget* patterns = Frame1[0];
    Option1 = placeControl<QRadioButton>(patterns, "Option1", QStringLiteral("song"));
    Option2 = placeControl<QRadioButton>(patterns, "Option2", QStringLiteral("artist-song"));
    Option3 = placeControl<QRadioButton>(patterns, "Option3", QStringLiteral("artist - album - song"));
    Option4 = placeControl<QRadioButton>(patterns, "Option4", QStringLiteral("album - song"));
    Option5 = placeControl<QRadioButton>(patterns, "Option5", QStringLiteral("song (artist)"));
    Option6 = placeControl<QRadioButton>(patterns, "Option6", QStringLiteral("song by artist"));
    Option7 = placeControl<QRadioButton>(patterns, "Option7", QStringLiteral("TRACK01"));
    Option1->setChecked(true);

    QWidget* options = Frame1[2];
    Check1 = placeControl<QCheckBox>(options, "Check1", QStringLiteral("numbered"));
    Check2 = placeControl<QCheckBox>(options, "Check2", QStringLiteral("no \u00F5 "));
    Check3 = placeControl<QCheckBox>(options, "Check3", QStringLiteral("no accent"));
    Check4 = placeControl<QCheckBox>(options, "Check4", QStringLiteral("saving m3u "));
    Check5 = placeControl<QCheckBox>(options, "Check5", QStringLiteral("no space"));
    Check6 = placeControl<QCheckBox>(options, "Check6", QStringLiteral("rowlines"));
    for (QCheckBox* box : { Check1, Check2, Check3, Check4 })
        box->setChecked(true);
    Label14 = placeControl<QLabel>(options, "Label14_1", QStringLiteral("separator "));
    Text2 = placeControl<QLineEdit>(options, "Text2", QStringLiteral(" - "));
    Text2->setMaxLength(3);

    // Frames draw their captions under their first controls, which cover them.
    for (QGroupBox* frame : { Frame1[0], Frame1[1], Frame1[2], Frame4 })
        twips::fill(frame, twips::kGrey);
    for (QWidget* control : std::initializer_list<QWidget*> { Option1, Option2, Option3, Option4, Option5, Option6,
             Option7, Check1, Check2, Check3, Check4, Check5, Check6, Label14 })
        twips::fill(control, twips::kGrey);
    twips::colourText(Label14, Qt::black);
    // The option rows stand closer than their font is tall: below the first
    // row (which covers its frame's border) they are transparent and a little
    // taller, so no row's background cuts the descenders of the row above.
    for (QCheckBox* box : { Check2, Check3, Check4, Check5, Check6 }) {
        box->setAutoFillBackground(false);
        box->resize(box->width(), box->height() + twips::px(60));
    }
    // Navy captions keep a little room at their edges.
    for (QLabel* label : { Label1, Label2, Label3[0], Label3[1], Label4[0], Label4[1], Label4[2], Label4[3], Label4[4],
             Label4[5], Label22 })
        label->setContentsMargins(3, 0, 3, 0);
    // The frames' own captions lie under their controls: draw only their borders.
    for (QGroupBox* frame : Frame1)
        frame->setStyleSheet(QStringLiteral("QGroupBox::title { color: transparent; }"));
    // Small buttons give their whole face to the caption.
    client->setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));
    // Labels are drawn on the window's surface, under every other control.
    for (QLabel* label : client->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        label->lower();
    Frame4->lower();
    ListView1->raise();

    const auto named = [](auto* item, const char* name) {
        item->setObjectName(QLatin1String(name));
        return item;
    };
    rename = named(menuBar()->addMenu(QStringLiteral("rename")), "rename");
    selected = named(rename->addAction(QStringLiteral("selected")), "selected");
    preview = named(rename->addAction(QStringLiteral("preview")), "preview");
    undo = named(rename->addAction(QStringLiteral("undo")), "undo");
    ownpattern = named(rename->addAction(QStringLiteral("own pattern")), "ownpattern");
    tagmenu = named(menuBar()->addMenu(QStringLiteral("tag")), "tagmenu");
    fromname = named(tagmenu->addAction(QStringLiteral("from file name")), "fromname");
    setforchecked = named(tagmenu->addAction(QStringLiteral("set for checked")), "setforchecked");
    undotag = named(tagmenu->addAction(QStringLiteral("undo tag change")), "undotag");
    tagmenu->addSeparator();
    keeptime = named(tagmenu->addAction(QStringLiteral("keep file times")), "keeptime");
    keeptime->setCheckable(true);
    meselect = named(menuBar()->addMenu(QStringLiteral("select")), "meselect");
    selectall = named(meselect->addAction(QStringLiteral("select all")), "selectall");
    unselect = named(meselect->addAction(QStringLiteral("unselect all")), "unselect");
    invert = named(meselect->addAction(QStringLiteral("invert")), "invert");
    savingm3u = named(menuBar()->addAction(QStringLiteral("saving m3u")), "savingm3u");
    merefresh = named(menuBar()->addAction(QStringLiteral("refresh")), "merefresh");
    id3v2 = named(menuBar()->addAction(QStringLiteral("ID3v2")), "id3v2");
    id3v2->setCheckable(true);
    formats = named(menuBar()->addAction(QStringLiteral("all formats")), "formats");
    formats->setCheckable(true);
    language = named(menuBar()->addMenu(QStringLiteral("language")), "language");
    about = named(menuBar()->addAction(QStringLiteral("about")), "about");

    setWindowTitle(kDefaultTitle);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // The window has one size: no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

} // namespace zentrio
