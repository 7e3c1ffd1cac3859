#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace zentrio {

// The messages the main window shows on its message line, by key, with their
// built-in English texts; and the caption words from which the pattern
// buttons' captions are built.
class InterfaceTexts {
public:
    // The message keys in the order a language pack is read.
    static const QStringList& messageKeys();
    // The keys of texts added since the first packs (commands, windows and
    // messages): a pack without one keeps its built-in English text.
    static const QStringList& addedKeys();

    void installBuiltInMessages();
    // The English caption for a language-pack key ("mrename", "song", ...).
    static QString builtInCaption(const QString& key);
    QString message(const QString& key) const { return m_messages.value(key); }
    void setMessage(const QString& key, const QString& text) { m_messages.insert(key, text); }

    QString song = QStringLiteral("song");
    QString artist = QStringLiteral("artist");
    QString album = QStringLiteral("album");

private:
    QHash<QString, QString> m_messages;
};

inline const QString kApplication = QStringLiteral("zentrio");
inline const QString kDefaultTitle = QStringLiteral("Zentrio and TAG editor v5.0 freeware (english version)");

} // namespace zentrio
