#include "app/languagepacks.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/settings/inifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <set>

namespace zentrio {

QStringList languagePackFolders()
{
    QStringList folders;
    const QString fromEnvironment = qEnvironmentVariable("ZENTRIO_LANG_PATH");
    if (!fromEnvironment.isEmpty())
        folders << fromEnvironment.split(u':', Qt::SkipEmptyParts);
    const QString program = QCoreApplication::applicationDirPath();
    folders << program + QStringLiteral("/../share/zentrio/lang");
    folders << QStandardPaths::locateAll(
        QStandardPaths::GenericDataLocation, QStringLiteral("zentrio/lang"), QStandardPaths::LocateDirectory);
    folders << program + QStringLiteral("/lang") << program + QStringLiteral("/../lang");
#ifdef ZENTRIO_SOURCE_LANG_DIR
    folders << QStringLiteral(ZENTRIO_SOURCE_LANG_DIR); // the tree this program was built from
#endif
    return folders;
}

SettingsStore::Values packSection(const QString& path)
{
    SettingsStore::Values values;
    const auto content = fs::readWholeFile(textToName(path));
    if (!content)
        return values;
    for (const IniFile::Entry& entry : IniFile::parse(QByteArray::fromStdString(*content)).entries()) {
        if (entry.section == "language")
            values.emplace_back(QString::fromUtf8(entry.key), entry.value);
    }
    return values;
}

std::vector<LanguagePack> findLanguagePacks(const QStringList& folders)
{
    std::vector<LanguagePack> packs;
    std::set<QString> seen;
    for (const QString& folder : folders) {
        const QFileInfoList files = QDir(folder).entryInfoList({ QStringLiteral("*.ini") }, QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            const QString path = file.canonicalFilePath();
            if (!seen.insert(path).second)
                continue;
            const SettingsStore::Values section = packSection(path);
            QString name = file.completeBaseName();
            for (const auto& [key, value] : section) {
                if (key == QLatin1String("name1") && !value.trimmed().isEmpty())
                    name = QString::fromUtf8(value.trimmed());
            }
            if (!section.empty() && seen.insert(QStringLiteral("name:") + name).second)
                packs.push_back({ name, path });
        }
    }
    return packs;
}

} // namespace zentrio
