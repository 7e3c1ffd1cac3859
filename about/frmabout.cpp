#include "about/frmabout.h"

#include "about/mdlregistry.h"
#include "app/interfacetexts.h"
#include "app/twipslayout.h"
#include "platform/settings/settingsstore.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <algorithm>

namespace zentrio {

namespace {

    using twips::Place;

    constexpr Place kPlaces[] = {
        { "lblTitle", 840, 120, 2925, 240, nullptr, 0 },
        { "Picture1", 120, 120, 480, 480, nullptr, 0 },
        { "Label1_1", 1320, 360, 2775, 255, nullptr, 0 },
        { "Label2_0", 120, 720, 3615, 255, nullptr, 0 },
        { "Label1_3", 480, 960, 3615, 255, nullptr, 0 },
        { "Label2_1", 120, 1320, 3615, 255, nullptr, 0 },
        { "Label7", 480, 1560, 3615, 255, nullptr, 0 },
        { "Frame1", 120, 1920, 3855, 735, nullptr, 0 },
        { "Label3", 120, 240, 1695, 375, nullptr, 0 },
        { "Label5", 1800, 240, 1335, 375, nullptr, 0 },
        { "Command1", 3120, 360, 375, 195, nullptr, 0 },
        { "cmdOK", 3120, 2760, 900, 345, nullptr, 0 },
        { "lblDisclaimer", 120, 2760, 2895, 255, nullptr, 0 },
    };

    const QString kComputerNameKey = QStringLiteral("System\\CurrentControlset\\Control\\ComputerName\\ComputerName\\");

    template <typename W, typename... Args> W* placeControl(QWidget* parent, const char* name, Args&&... args)
    {
        return twips::make<W>(parent, kPlaces, name, std::forward<Args>(args)...);
    }

    QLabel* whiteLabel(QWidget* parent, const char* name, const QString& text)
    {
        QLabel* label = placeControl<QLabel>(parent, name, text);
        twips::fill(label, Qt::white);
        twips::colourText(label, Qt::black);
        return label;
    }

    QLabel* navyLabel(QWidget* parent, const char* name, const QString& text)
    {
        QLabel* label = placeControl<QLabel>(parent, name, text);
        twips::fill(label, twips::kNavy);
        twips::colourText(label, Qt::white);
        return label;
    }

    // Wide enough for a title bar that shows the whole title beside its
    // icon and buttons (on Wayland Qt draws it in the window's own width).
    int titleBarWidth(const QString& title)
    {
        QFont font = QApplication::font();
        font.setBold(true);
        constexpr int kIconAndButtons = 150;
        return QFontMetrics(font).horizontalAdvance(title) + kIconAndButtons;
    }

} // namespace

QPoint aboutPosition(const QRect& mainWindow, const QSize& about)
{
    const int left = mainWindow.left() + mainWindow.width() / 2 - about.width() / 2;
    const int top = (mainWindow.top() + mainWindow.height() - about.height()) / 2;
    return { left, top };
}

FrmAbout::FrmAbout(SettingsStore& settings, Registry& registry)
    : m_settings(settings)
    , m_registry(registry)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Zentrio v5.0"));
    setFixedSize(std::max(twips::px(4065), titleBarWidth(windowTitle())), twips::px(3120));
    twips::fill(this, twips::kGrey);
    setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));

    lblTitle = navyLabel(this, "lblTitle", QStringLiteral("Zentrio v5.0"));
    lblTitle->setAlignment(Qt::AlignCenter);
    Picture1 = placeControl<QLabel>(this, "Picture1");
    Picture1->setPixmap(QApplication::windowIcon().isNull()
            ? style()->standardIcon(QStyle::SP_MediaVolume).pixmap(Picture1->size())
            : QApplication::windowIcon().pixmap(Picture1->size()));
    Label1_1 = whiteLabel(this, "Label1_1", QStringLiteral("freeware (english)"));
    Label2_0 = navyLabel(this, "Label2_0", QStringLiteral("written by"));
    Label1_3 = whiteLabel(this, "Label1_3", QStringLiteral("the Zentrio developers"));
    Label2_1 = navyLabel(this, "Label2_1", QStringLiteral("e-mail support"));
    Label7 = whiteLabel(this, "Label7", QStringLiteral("see the README for help"));
    Frame1 = placeControl<QGroupBox>(this, "Frame1", QStringLiteral("computer"));
    Label3 = whiteLabel(Frame1, "Label3", QString());
    Label5 = navyLabel(Frame1, "Label5", QStringLiteral("off icon narrows on desktop"));
    Label5->setWordWrap(true);
    QFont small = Label5->font();
    small.setPointSizeF(6.75);
    Label5->setFont(small);
    Command1 = placeControl<QPushButton>(Frame1, "Command1", QStringLiteral("off"));
    cmdOK = placeControl<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
    lblDisclaimer = placeControl<QLabel>(this, "lblDisclaimer", QStringLiteral("provided without warranty"));

    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
    connect(Command1, &QPushButton::clicked, this, &FrmAbout::offClicked);
}

void FrmAbout::load(const QRect& mainWindow)
{
    move(aboutPosition(mainWindow, frameGeometry().size()));
    const QVariant name = mdlRegistry::readRegistryValue(
        m_registry, Registry::Hive::LocalMachine, kComputerNameKey, QStringLiteral("ComputerName"));
    // A caption shows a string up to its terminating NUL.
    Label3->setText(name.toString().section(QChar(0), 0, 0));
    auto pack = [this](const char* key) {
        return QString::fromUtf8(m_settings.read(kApplication, QStringLiteral("language"), QLatin1String(key)));
    };
    const QString language
        = pack("newlanguage") == QLatin1String("true") ? pack("name1") + " - " + pack("name2") : QStringLiteral("english");
    Label1_1->setText("freeware (" + language + ')');
}

void FrmAbout::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// "off": takes the arrow off shortcut icons by deleting the value that asks for it.
void FrmAbout::offClicked()
{
    mdlRegistry::deleteRegistryValue(m_registry, Registry::Hive::ClassesRoot, QStringLiteral("lnkfile"),
        QStringLiteral("IsShortcut"));
}

} // namespace zentrio
