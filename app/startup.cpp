#include "app/form1.h"

#include "platform/drivelist.h"
#include "platform/fs/filenames.h"
#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "platform/settings/settingsstore.h"
#include "platform/windowplacement.h"
#include "platform/fs/patchfile.h"
#include "popup/menuform.h"
#include "rename/history/cutmoves.h"
#include "tags/write/tagfilewrite.h"

#include <QCheckBox>
#include <QStringList>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace zentrio {

namespace {

    constexpr int kTwipsPerPixel = 15;
    const QString kConfig = QStringLiteral("config");

    // A value of the settings that does not convert; it ends start-up.
    class ConversionError : public std::runtime_error {
    public:
        ConversionError()
            : std::runtime_error("settings value is not a number")
        {
        }
    };

    // Numbers are stored as decimal text, with a leading blank when not negative.
    QByteArray numberText(double value)
    {
        const QString digits = value == std::floor(value) && std::abs(value) < 1e15
            ? QString::number(static_cast<long long>(value))
            : QString::number(value, 'g', 7);
        return (value >= 0 ? QStringLiteral(" ") : QString()).toLatin1() + digits.toLatin1();
    }

    double toNumber(const QByteArray& text)
    {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            throw ConversionError();
        return value;
    }

    float toSingle(const QByteArray& text)
    {
        const double value = toNumber(text);
        if (std::abs(value) > std::numeric_limits<float>::max())
            throw ConversionError();
        return static_cast<float>(value);
    }

    Qt::CheckState toCheckState(const QByteArray& text)
    {
        const double value = std::nearbyint(toNumber(text));
        // A box is 0 (unchecked), 1 (checked) or 2 (greyed); it refuses anything else.
        if (value == 0)
            return Qt::Unchecked;
        if (value == 1)
            return Qt::Checked;
        if (value == 2)
            return Qt::PartiallyChecked;
        throw ConversionError();
    }

    int checkStateNumber(const QCheckBox* box)
    {
        switch (box->checkState()) {
        case Qt::Unchecked:
            return 0;
        case Qt::Checked:
            return 1;
        default:
            return 2;
        }
    }

    // Where the window may go on this machine's screens; the title bar's
    // height is guessed before the window manager has framed the window.
    QPoint reachable(const QPoint& wanted, const QMainWindow& window)
    {
        ScreenLayout layout;
        for (const QScreen* screen : QGuiApplication::screens()) {
            layout.available << screen->availableGeometry();
            if (screen == QGuiApplication::primaryScreen())
                layout.primary = int(layout.available.size()) - 1;
        }
        const int titleBar = window.geometry().top() - window.frameGeometry().top();
        const int strip = (titleBar > 0 ? titleBar : 30) + window.menuBar()->sizeHint().height();
        return reachablePosition(QRect(wanted, window.frameGeometry().size()), strip, layout);
    }

} // namespace

void Form1::load()
{
    ListView1->setExtendedStyle(0, FileListView::kCheckBoxes);
    ListView1->setExtendedStyle(0, FileListView::kCheckBoxes | FileListView::kFullRowSelect);
    // A tag save cut short by a crash left the old tag's bytes behind: they
    // go back before anything reads the files.
    const fs::RepairOutcome repaired = repairInterruptedTagWrites();
    // A move between two folders cut by a power cut left its file under
    // both names: one goes. Nothing is lost either way, so nothing is said;
    // a name left (not removable) the next undo settles.
    (void)settleCutMoves(RunHistory::standard());
    try {
        restoreSettings();
        m_texts.installBuiltInMessages();
        applyLanguagePack();
        frissites(1);
    } catch (...) {
        // Start-up stops at its first failure; the window shows what was set so far.
    }
    refreshLanguageMenu(); // the packs are looked for once, whatever start-up reached
    showRepairOutcome(repaired);
}

// What the start-up repair of interrupted tag saves did, when it did anything.
void Form1::showRepairOutcome(const fs::RepairOutcome& repaired)
{
    QStringList said;
    if (repaired.restored > 0)
        said << message(QStringLiteral("msgtagrestored")).arg(repaired.restored);
    if (repaired.waiting > 0)
        said << message(QStringLiteral("msgtagwaiting")).arg(repaired.waiting);
    if (repaired.setAside > 0)
        said << message(QStringLiteral("msgtagaside")).arg(repaired.setAside).arg(nameToText(tagCopyFolder()));
    if (!said.isEmpty())
        showMessage(said.join(u';'));
}

void Form1::restoreSettings()
{
    auto config = [this](const char* key, const QByteArray& fallback) {
        return m_settings.read(kApplication, kConfig, QLatin1String(key), fallback);
    };
    QCheckBox* const boxes[] = { Check1, Check2, Check3, Check4, Check5, Check6 };

    const QByteArray x = config("X", numberText(pos().x() * kTwipsPerPixel));
    const QByteArray y = config("Y", numberText(pos().y() * kTwipsPerPixel));
    QByteArray states[6];
    for (int i = 0; i < 6; ++i)
        states[i] = config(("o" + std::to_string(i + 1)).c_str(), numberText(checkStateNumber(boxes[i])));
    const QByteArray id3v2State = config("id3v2", numberText(id3v2->isChecked() ? 1 : 0));
    const QByteArray keepTimeState = config("keeptime", numberText(keeptime->isChecked() ? 1 : 0));
    const QByteArray formatsState = config("formats", numberText(formats->isChecked() ? 1 : 0));
    const QByteArray chare = config("chare", Text2->text().toUtf8());
    const QByteArray path = config("Path", QByteArray::fromStdString(Dir1->path()));
    const QByteArray drive = config("Drive", Drive1->drive().toUtf8());

    const QPoint wanted(qRound(toSingle(x) / kTwipsPerPixel), qRound(toSingle(y) / kTwipsPerPixel));
    if (platformKnowsWindowPositions(QGuiApplication::platformName()))
        move(reachable(wanted, *this));
    for (int i = 0; i < 6; ++i)
        boxes[i]->setCheckState(toCheckState(states[i]));
    id3v2->setChecked(toCheckState(id3v2State) == Qt::Checked);
    keeptime->setChecked(toCheckState(keepTimeState) == Qt::Checked);
    formats->setChecked(toCheckState(formatsState) == Qt::Checked);
    if (Text2->text() != QString::fromUtf8(chare))
        Text2->setText(QString::fromUtf8(chare));
    Drive1->setDrive(QString::fromUtf8(drive));
    Dir1->setPath(path.toStdString());
    restoreOwnPattern();
}

// The own pattern and the recent ones, after the designed keys. A pattern
// that cannot be read (a hand-edited file) is kept in the box but not made
// active.
void Form1::restoreOwnPattern()
{
    auto config = [this](const QString& key) { return m_settings.read(kApplication, kConfig, key); };
    m_recentPatterns.clear();
    for (int i = 1; i <= kRecentPatterns; ++i) {
        const QString recent = QString::fromUtf8(config(QStringLiteral("recentpattern%1").arg(i)));
        if (!recent.isEmpty())
            m_recentPatterns << recent;
    }
    m_ownPattern = QString::fromUtf8(config(QStringLiteral("pattern")));
    if (config(QStringLiteral("ownpattern")).trimmed() == "1" && parsePattern(m_ownPattern).ok())
        activateOwnPattern(m_ownPattern);
}

void Form1::saveSettings()
{
    SettingsStore::Values values;
    // Where the platform cannot tell the window's place, the saved one stays.
    if (platformKnowsWindowPositions(QGuiApplication::platformName())) {
        values.emplace_back(QStringLiteral("X"), numberText(pos().x() * kTwipsPerPixel));
        values.emplace_back(QStringLiteral("Y"), numberText(pos().y() * kTwipsPerPixel));
    }
    const QCheckBox* const boxes[] = { Check1, Check2, Check3, Check4, Check5, Check6 };
    for (int i = 0; i < 6; ++i)
        values.emplace_back(QStringLiteral("o%1").arg(i + 1), numberText(checkStateNumber(boxes[i])));
    values.emplace_back(QStringLiteral("id3v2"), numberText(id3v2->isChecked() ? 1 : 0));
    values.emplace_back(QStringLiteral("keeptime"), numberText(keeptime->isChecked() ? 1 : 0));
    values.emplace_back(QStringLiteral("formats"), numberText(formats->isChecked() ? 1 : 0));
    values.emplace_back(QStringLiteral("Path"), QByteArray::fromStdString(Dir1->path()));
    values.emplace_back(QStringLiteral("Drive"), Drive1->drive().toUtf8());
    values.emplace_back(QStringLiteral("chare"), Text2->text().toUtf8());
    values.emplace_back(QStringLiteral("pattern"), m_ownPattern.toUtf8());
    values.emplace_back(QStringLiteral("ownpattern"), numberText(m_ownActive ? 1 : 0));
    for (qsizetype i = 0; i < m_recentPatterns.size(); ++i)
        values.emplace_back(QStringLiteral("recentpattern%1").arg(i + 1), m_recentPatterns[i].toUtf8());
    m_settings.writeAll(kApplication, kConfig, values);
}

void Form1::closeEvent(QCloseEvent* event)
{
    saveSettings();
    menuform.reset();
    event->accept();
}

} // namespace zentrio
