#pragma once

#include "platform/settings/settingsstore.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace zentrio {

// A language pack file: its language's own name and where it is.
struct LanguagePack {
    QString name;
    QString path;
};

// Where packs are looked for: $ZENTRIO_LANG_PATH (folders separated by
// ":"), the data folders (…/share/zentrio/lang, the installed place), and
// lang/ beside the program or one folder up (a build tree).
QStringList languagePackFolders();

// Every readable *.ini with a [language] section in those folders, by name;
// a pack found twice is listed once.
std::vector<LanguagePack> findLanguagePacks(const QStringList& folders);

// The [language] section of a pack, key by key, as it stands in the file.
SettingsStore::Values packSection(const QString& path);

} // namespace zentrio
