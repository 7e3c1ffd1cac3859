#include "app/interfacetexts.h"

namespace zentrio {

namespace {

    struct BuiltIn {
        const char* key;
        const char* text;
    };

    constexpr BuiltIn kMessages[] = {
        { "error2", " read error: some mp3s unreadable or 0 byte sized" },
        { "error3", " write error: mp3 TAG save is unable" },
        { "error4", " error: playing mp3" },
        { "error5", " drive error: drive not ready to read" },
        { "error6", " drive error: drive not ready to write\"" },
        { "error7", " error: some mp3s got the same name, select numbered option" },
        { "error8", " write error: drive or mp3 not ready writting" },
        { "reading", " reading...  please wait..." },
        { "msg1", " mp3 rename ready... without error" },
        { "msg2", " these mp3s dont have any tag" },
        { "msg3", " first select the mp3s to rename" },
        { "msg4", " playlist.m3u is ready " },
        { "playing", "playing" },
    };

} // namespace

const QStringList& InterfaceTexts::messageKeys()
{
    static const QStringList keys = [] {
        QStringList k;
        for (const BuiltIn& m : kMessages)
            k << QString::fromLatin1(m.key);
        return k;
    }();
    return keys;
}

void InterfaceTexts::installBuiltInMessages()
{
    for (const BuiltIn& m : kMessages)
        m_messages.insert(QString::fromLatin1(m.key), QString::fromLatin1(m.text));
}

} // namespace zentrio
