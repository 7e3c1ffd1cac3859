#include "app/form1.h"

#include "app/languagepacks.h"
#include "platform/settings/settingsstore.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace zentrio {

void Form1::refreshLanguageMenu()
{
    language->setTitle(message(QStringLiteral("mlanguage")));
    // The old entries go later: one of them may be running this refresh.
    for (QActionGroup* old : language->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)) {
        for (QAction* item : old->actions())
            language->removeAction(item);
        old->deleteLater();
    }
    auto* group = new QActionGroup(language);
    const auto read = [this](const char* key) {
        return QString::fromUtf8(m_settings.read(kApplication, QStringLiteral("language"), QLatin1String(key)));
    };
    const bool packOn = read("newlanguage") == QLatin1String("true");
    auto add = [&](const QString& caption, const QString& path, bool current) {
        auto* item = new QAction(caption, group);
        language->addAction(item);
        item->setCheckable(true);
        item->setChecked(current);
        item->setData(path);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, path] { languageChosen(path); });
    };
    add(message(QStringLiteral("menglish")), QString(), !packOn);
    for (const LanguagePack& pack : findLanguagePacks(languagePackFolders()))
        add(pack.name, pack.path, packOn && read("name1") == pack.name);
}

// The pack's [language] section replaces the one in the settings file (in
// one atomic write), so a later start uses it as well; "English" switches
// the pack off and keeps its text.
void Form1::languageChosen(const QString& packPath)
{
    if (packPath.isEmpty()) {
        m_settings.write(kApplication, QStringLiteral("language"), QStringLiteral("newlanguage"), "false");
        applyEnglish();
    } else {
        m_settings.replaceSection(kApplication, QStringLiteral("language"), packSection(packPath));
        applyLanguagePack();
    }
    refreshLanguageMenu();
}

} // namespace zentrio
