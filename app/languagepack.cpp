#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/settings/settingsstore.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>

namespace zentrio {

// Applies the language pack of section "language" when "newlanguage" is
// exactly "true". Every key is read without a default: a key the pack lacks
// empties its text.
void Form1::applyLanguagePack()
{
    auto pack = [this](const QString& key) {
        return QString::fromUtf8(m_settings.read(kApplication, QStringLiteral("language"), key));
    };
    if (pack(QStringLiteral("newlanguage")) != QLatin1String("true"))
        return;
    setWindowTitle(QStringLiteral("Zentrio and TAG editor v5.0 freeware (") + pack(QStringLiteral("name2"))
        + QStringLiteral(" version - ") + pack(QStringLiteral("name1")) + ')');
    m_texts.installBuiltInMessages(); // another pack's texts go first
    for (const QString& key : InterfaceTexts::messageKeys())
        m_texts.setMessage(key, pack(key));
    // Texts added after the first packs were written keep their English in
    // a pack that lacks their key, so a command never goes blank.
    for (const QString& key : InterfaceTexts::addedKeys()) {
        const QString text = pack(key);
        if (!text.isEmpty())
            m_texts.setMessage(key, text);
    }
    applyCaptions(pack);
}

// English, at once: the built-in title, messages and captions.
void Form1::applyEnglish()
{
    setWindowTitle(kDefaultTitle);
    m_texts.installBuiltInMessages();
    applyCaptions(&InterfaceTexts::builtInCaption);
}

// Every caption, from `pack` by a language pack's keys, or from the
// interface texts for the commands added since the first packs.
void Form1::applyCaptions(const std::function<QString(const QString&)>& pack)
{
    rename->setTitle(pack(QStringLiteral("mrename")));
    meselect->setTitle(pack(QStringLiteral("mselect")));
    savingm3u->setText(pack(QStringLiteral("msavingm3u")));
    merefresh->setText(pack(QStringLiteral("mrefresh")));
    about->setText(pack(QStringLiteral("mabout")));
    selected->setText(pack(QStringLiteral("mselected")));
    selectall->setText(pack(QStringLiteral("mselectall")));
    unselect->setText(pack(QStringLiteral("munselectall")));
    invert->setText(pack(QStringLiteral("minvert")));
    id3v2->setText(message(QStringLiteral("mid3v2")));
    formats->setText(message(QStringLiteral("mformats")));
    preview->setText(message(QStringLiteral("mpreview")));
    undo->setText(message(QStringLiteral("mundo")));
    ownpattern->setText(message(QStringLiteral("mownpattern")));
    tagmenu->setTitle(message(QStringLiteral("mtag")));
    fromname->setText(message(QStringLiteral("mfromname")));
    setforchecked->setText(message(QStringLiteral("msetforchecked")));
    undotag->setText(message(QStringLiteral("mundotag")));
    keeptime->setText(message(QStringLiteral("mkeeptime")));

    const QString filename = pack(QStringLiteral("filename"));
    ListView1->setHeaderText(1, filename);
    Label4[0]->setText(filename + ' ');
    m_texts.artist = pack(QStringLiteral("artist"));
    ListView1->setHeaderText(2, m_texts.artist);
    Label4[2]->setText(m_texts.artist + ' ');
    m_texts.album = pack(QStringLiteral("album"));
    ListView1->setHeaderText(3, m_texts.album);
    Label4[1]->setText(m_texts.album + ' ');
    m_texts.song = pack(QStringLiteral("song"));
    ListView1->setHeaderText(4, m_texts.song);
    Label4[3]->setText(m_texts.song + ' ');
    Label4[5]->setText(pack(QStringLiteral("new name")) + ' ');
    Label3[1]->setText(pack(QStringLiteral("message")));
    m_filetypeCaption = pack(QStringLiteral("mp3 filetype"));
    showActivePattern();
    Label3[0]->setText(pack(QStringLiteral("options")));
    Label22->setText(pack(QStringLiteral("controller")));
    Check1->setText(pack(QStringLiteral("numbered")));
    Check2->setText(pack(QStringLiteral("no \u00F5")));
    Check3->setText(pack(QStringLiteral("no accent")));
    Check4->setText(pack(QStringLiteral("save m3u")));
    Check5->setText(pack(QStringLiteral("no space")));
    Check6->setText(pack(QStringLiteral("rowlines")));
    Label14->setText(pack(QStringLiteral("separator")));

    const QString& song = m_texts.song;
    const QString& artist = m_texts.artist;
    const QString& album = m_texts.album;
    Option1->setText(song);
    Option2->setText(artist + Text2->text() + song);
    Option3->setText(artist + Text2->text() + album + Text2->text() + song);
    Option4->setText(album + Text2->text() + song);
    Option5->setText(song + '(' + artist + ')');
    Option6->setText(song + QStringLiteral(" by ") + artist);
    applyAccessibleTexts();
}

} // namespace zentrio
