#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "rename/naming/foldernames.h"
#include "rename/ownpatternwindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace zentrio {

void Form1::ownPatternClicked()
{
    delete m_ownPatternWindow;
    const auto nameOf = [this](const ParsedPattern& parsed) {
        NameOptions options = nameOptions();
        options.pattern = Pattern::Own;
        options.own = std::make_shared<const ParsedPattern>(parsed);
        options.widths = m_listWidths;
        return currentNewName(options);
    };
    const QString shown = m_ownPattern.isEmpty() && !m_recentPatterns.isEmpty() ? m_recentPatterns.front() : m_ownPattern;
    m_ownPatternWindow = new OwnPatternWindow(
        shown, m_recentPatterns, m_texts, nameOf, [this](const QString& text) { activateOwnPattern(text); }, this);
    m_ownPatternWindow->show();
}

OwnPatternWindow* Form1::ownPatternWindow() const { return m_ownPatternWindow; }

// The pattern becomes the active one: no pattern button shows checked, and
// "numbered" is greyed out (it keeps its state for the seven patterns).
void Form1::activateOwnPattern(const QString& pattern)
{
    m_ownPattern = pattern;
    m_recentPatterns.removeAll(pattern);
    m_recentPatterns.prepend(pattern);
    while (m_recentPatterns.size() > kRecentPatterns)
        m_recentPatterns.removeLast();
    m_ownActive = true;
    for (QRadioButton* button : { Option1, Option2, Option3, Option4, Option5, Option6, Option7 }) {
        if (!button->isChecked())
            continue;
        button->setAutoExclusive(false); // an exclusive button cannot be cleared by the program
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
    Check1->setEnabled(false);
    showActivePattern();
    frissites2();
}

void Form1::leaveOwnPattern()
{
    if (!m_ownActive)
        return;
    m_ownActive = false;
    Check1->setEnabled(true);
    showActivePattern();
}

// Which pattern is active shows in the pattern frame's caption, and the
// own pattern's text in its tooltip.
void Form1::showActivePattern()
{
    Label2->setText(m_ownActive ? message(QStringLiteral("oactive")) : m_filetypeCaption);
    const QString tip = m_ownActive ? m_ownPattern : QString();
    Label2->setToolTip(tip);
    Frame1[0]->setToolTip(tip);
    Frame1[0]->setAccessibleDescription(tip);
}

// The current item's new name by these options, as the new-name box shows it.
QString Form1::currentNewName(const NameOptions& options) const
{
    const int index = ListView1->currentIndex();
    if (index == 0)
        return {};
    const std::string name = ListView1->itemName(index);
    const auto read = readFileTag(currentFolder() + name, tagSource());
    if (!read || !read->found)
        return {};
    return composeNewName(*read, forFile(options, name), index);
}

} // namespace zentrio
