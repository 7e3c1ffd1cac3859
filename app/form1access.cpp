#include "app/form1.h"

#include "platform/drivelist.h"
#include "platform/filelistview.h"
#include "platform/folderlist.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

namespace zentrio {

namespace {

    // The first letter of the caption not yet taken, lower-cased; none when
    // every letter is taken.
    QChar freeLetter(const QString& caption, QString& taken)
    {
        for (const QChar c : caption) {
            const QChar letter = c.toLower();
            if (letter.isLetter() && !taken.contains(letter)) {
                taken += letter;
                return letter;
            }
        }
        return {};
    }

} // namespace

// Tab walks the controls in reading order: the list, the folder controls,
// the patterns, the options and separator, the tag boxes with their buttons,
// then the player buttons. Each box is the buddy of its label, which also
// gives a screen reader its name. F10 opens the menu bar.
void Form1::setUpKeyboard()
{
    const QList<QWidget*> order { ListView1, Drive1, Dir1, Option1, Option2, Option3, Option4, Option5, Option6,
        Option7, Check1, Check2, Check3, Check4, Check5, Check6, Text2, Text1, Text3, Command2, Text4, Command3, Text5,
        Command4, Text6, Command1, Command6, Command7, Command8, Command9, Command10 };
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    const std::pair<QLabel*, QLineEdit*> buddies[] = { { Label4[0], Text1 }, { Label4[2], Text3 },
        { Label4[1], Text4 }, { Label4[3], Text5 }, { Label4[5], Text6 }, { Label14, Text2 } };
    for (const auto& [label, box] : buddies)
        label->setBuddy(box);
    auto* menuBarKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuBarKey, &QShortcut::activated, this, [this] {
        if (!menuBar()->actions().isEmpty())
            menuBar()->setActiveAction(menuBar()->actions().first());
    });
}

// Names and tooltips from the interface texts, so a language pack
// translates them; called again whenever the captions change.
void Form1::applyAccessibleTexts()
{
    const std::pair<QPushButton*, const char*> player[] = { { Command6, "play" }, { Command7, "pause" },
        { Command8, "previous" }, { Command9, "next" }, { Command10, "stop" } };
    for (const auto& [button, what] : player) {
        button->setAccessibleName(message(QLatin1String("n") + QLatin1String(what)));
        button->setToolTip(message(QLatin1String("t") + QLatin1String(what)));
    }
    const std::pair<QPushButton*, QLabel*> tagButtons[] = { { Command2, Label4[2] }, { Command3, Label4[1] },
        { Command4, Label4[3] } };
    for (const auto& [button, label] : tagButtons) {
        button->setAccessibleName(label->text().trimmed() + QStringLiteral(" TAG"));
        button->setToolTip(message(QStringLiteral("ttag")));
    }
    const std::pair<QLineEdit*, QLabel*> boxes[] = { { Text1, Label4[0] }, { Text3, Label4[2] }, { Text4, Label4[1] },
        { Text5, Label4[3] }, { Text6, Label4[5] }, { Text2, Label14 } };
    for (const auto& [box, label] : boxes)
        box->setAccessibleName(label->text().trimmed());
    ListView1->setAccessibleName(message(QStringLiteral("afiles")));
    ListView1->setCheckStateTexts(message(QStringLiteral("achecked")), message(QStringLiteral("aunchecked")));
    Drive1->setAccessibleName(message(QStringLiteral("adrives")));
    Dir1->setAccessibleName(message(QStringLiteral("afolders")));

    // Alt plus a letter of its caption opens each menu-bar menu (or runs its
    // command). The letters are chosen here, so the packs need no "&".
    for (QShortcut* key : m_menuKeys)
        delete key;
    m_menuKeys.clear();
    // "all formats" came after the others: it takes its letter last, so
    // theirs stay what they were.
    QList<QAction*> entries = menuBar()->actions();
    if (entries.removeOne(formats))
        entries.append(formats);
    QString taken;
    for (QAction* action : entries) {
        const QChar letter = freeLetter(action->text(), taken);
        if (letter.isNull())
            continue;
        auto* key = new QShortcut(QKeySequence(QStringLiteral("Alt+") + letter.toUpper()), this);
        connect(key, &QShortcut::activated, this, [this, action] {
            if (action->menu())
                menuBar()->setActiveAction(action);
            else
                action->trigger();
        });
        action->setToolTip(action->text() + QStringLiteral(" (Alt+") + letter.toUpper() + ')');
        m_menuKeys.push_back(key);
    }
}

} // namespace zentrio
