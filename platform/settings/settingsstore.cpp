#include "platform/settings/settingsstore.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/settings/inifile.h"

#include <QDir>

namespace zentrio {

QString IniSettingsStore::defaultFolder()
{
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configured.isEmpty())
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

IniSettingsStore::IniSettingsStore(QString folder)
    : m_folder(std::move(folder))
{
}

QString IniSettingsStore::fileOf(const QString& application) const
{
    return m_folder + '/' + application + '/' + application + QStringLiteral(".ini");
}

QByteArray IniSettingsStore::read(
    const QString& application, const QString& section, const QString& key, const QByteArray& fallback) const
{
    const auto content = fs::readWholeFile(textToName(fileOf(application)));
    if (!content)
        return fallback;
    const IniFile file = IniFile::parse(QByteArray::fromStdString(*content));
    return file.value(section.toUtf8(), key.toUtf8()).value_or(fallback);
}

void IniSettingsStore::write(
    const QString& application, const QString& section, const QString& key, const QByteArray& value)
{
    writeAll(application, section, { { key, value } });
}

void IniSettingsStore::writeAll(const QString& application, const QString& section, const Values& values)
{
    update(application, section, values, false);
}

void IniSettingsStore::replaceSection(const QString& application, const QString& section, const Values& values)
{
    update(application, section, values, true);
}

void IniSettingsStore::update(const QString& application, const QString& section, const Values& values, bool replace)
{
    const std::string path = textToName(fileOf(application));
    QDir().mkpath(m_folder + '/' + application);
    IniFile file = IniFile::parse(QByteArray::fromStdString(fs::readWholeFile(path).value_or(std::string())));
    bool changed = replace;
    if (replace)
        file.clearSection(section.toUtf8());
    for (const auto& [key, value] : values)
        changed |= file.setValue(section.toUtf8(), key.toUtf8(), value);
    if (changed)
        fs::replaceFileAtomically(path, file.serialize().toStdString());
}

} // namespace zentrio
