#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace zentrio {

// A per-user store of text values addressed by application, section and key.
// Values are bytes (UTF-8 for text); file paths are stored byte for byte.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The stored value, or `fallback` when the key (or its section or
    // application) does not exist. Never creates anything.
    virtual QByteArray read(const QString& application, const QString& section, const QString& key,
        const QByteArray& fallback = {}) const = 0;

    // Stores the value, creating application, section and key as needed.
    virtual void write(const QString& application, const QString& section, const QString& key, const QByteArray& value)
        = 0;

    // Stores several values of one section, in order, as one change.
    using Values = std::vector<std::pair<QString, QByteArray>>;
    virtual void writeAll(const QString& application, const QString& section, const Values& values)
    {
        for (const auto& [key, value] : values)
            write(application, section, key, value);
    }

    // Replaces the whole section with these values, as one change.
    virtual void replaceSection(const QString& application, const QString& section, const Values& values) = 0;
};

// The desktop's store: one INI-style file per application,
// <configuration folder>/<application>/<application>.ini. The file is read
// afresh for each call and replaced atomically for each write, so a language
// pack a person typed into it while the program ran is never overwritten.
class IniSettingsStore final : public SettingsStore {
public:
    // The per-user configuration folder: $XDG_CONFIG_HOME, else ~/.config.
    static QString defaultFolder();

    explicit IniSettingsStore(QString folder = defaultFolder());

    QByteArray read(const QString& application, const QString& section, const QString& key,
        const QByteArray& fallback = {}) const override;
    void write(const QString& application, const QString& section, const QString& key,
        const QByteArray& value) override;
    // Reads the file once and replaces it once.
    void writeAll(const QString& application, const QString& section, const Values& values) override;
    void replaceSection(const QString& application, const QString& section, const Values& values) override;

    QString fileOf(const QString& application) const;

private:
    void update(const QString& application, const QString& section, const Values& values, bool replace);
    QString m_folder;
};

} // namespace zentrio
