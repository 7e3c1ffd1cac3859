#include "app/interfacetexts.h"

#include "rename/naming/patterntexts.h"

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

    // Texts of the commands and windows added since the first language
    // packs: a pack that lacks one of these keys keeps the English text.
    // The pattern's faults are among them, from the core's table.
    constexpr BuiltIn kAddedTexts[] = {
        { "mid3v2", "ID3v2" },
        { "mformats", "all formats" },
        { "msgformatsalone", " not written: the tags of their format cannot be saved yet, %1 file(s) left alone" },
        { "mpreview", "preview" },
        { "mundo", "undo" },
        { "msgundo", " undo ready: %1 renamed back, %2 could not be" },
        { "msgnoundo", " nothing to undo" },
        { "errjournal", " journal error: the rename journal is unreadable or damaged" },
        { "errnoundo", " this run cannot be undone: the rename journal cannot be written" },
        { "msgundomoves", " undo ready (a command-line run): %1 files back, %2 could not be, %3 folders made or removed" },
        { "msgundobusy", " undo waits: the newest run is still going on" },
        { "ptitle", "preview of the rename" },
        { "pold", "old name" },
        { "pnew", "new name" },
        { "pwhat", "the run will" },
        { "prenamed", "rename" },
        { "punchanged", "keep (same name)" },
        { "pskipped", "skip (no tag)" },
        { "ptaken", "stop: name taken" },
        { "psame", "stop: same new name as an earlier row" },
        { "punreadable", "stop: unreadable" },
        { "pnotreached", "not reached" },
        { "pnone", "no row is checked" },
        { "prun", "rename now" },
        { "pclose", "close" },
        { "nplay", "play" },
        { "npause", "pause" },
        { "nprevious", "previous" },
        { "nnext", "next" },
        { "nstop", "stop" },
        { "tplay", "play the current file in the desktop's MP3 player" },
        { "tpause", "pause or resume the running player" },
        { "tprevious", "the running player's previous track" },
        { "tnext", "the running player's next track" },
        { "tstop", "stop the running player" },
        { "ttag", "put back what this box held for the file shown before" },
        { "afiles", "MP3 files of the folder" },
        { "adrives", "drives" },
        { "afolders", "folders" },
        { "apopup", "file menu" },
        { "achecked", "checked" },
        { "aunchecked", "not checked" },
        { "mlanguage", "language" },
        { "menglish", "English" },
        { "msgtagrestored", " a tag save was cut short: the old tag of %1 file(s) is back" },
        { "mownpattern", "own pattern" },
        { "mtag", "tag" },
        { "mfromname", "from file name" },
        { "msetforchecked", "set for checked" },
        { "mundotag", "undo tag change" },
        { "mkeeptime", "keep file times" },
        { "ntitle", "tags from file names" },
        { "nunderscore", "\"_\" is a blank" },
        { "nid3v1only", "With ID3v2 off only song, artist and album are written (the ID3v1 record)." },
        { "nnomatch", "no match" },
        { "napply", "apply" },
        { "nfiles", "%1 checked file(s) in %2" },
        { "stitle", "set for checked files" },
        { "syear", "year" },
        { "sgenre", "genre" },
        { "salbumartist", "album artist" },
        { "sempty", "An empty box leaves that field as it is in each file." },
        { "msgtags", " tags written: %1, no match: %2, failed: %3" },
        { "msgundotag", " tag undo ready: %1 put back, %2 changed since or not writable" },
        { "errtagjournal", " journal error: the tag journal is unreadable or damaged" },
        { "errjournalwrite", " journal error: %1; no tag was written" },
        { "msgundokept", " the change stays in the journal: undo again to put back the files that could not be reached" },
        { "msgsavednoundo", " tag saved, but it cannot be undone: %1" },
        { "msgtagwaiting", " %1 file(s) wait for an interrupted tag save to be put back: they cannot be reached now" },
        { "msgtagaside", " %1 interrupted tag save(s) set aside in %2: the files changed since" },
        { "fignore", "a part of the name to skip" },
        { "oactive", "own pattern active" },
        { "otitle", "own naming pattern" },
        { "opattern", "pattern" },
        { "orecent", "recent patterns" },
        { "ofields", "fields (Enter inserts one)" },
        { "onewname", "new name of the current file" },
        { "ook", "OK" },
        { "ocancel", "cancel" },
        { "fsong", "the song (title)" },
        { "fartist", "the artist" },
        { "falbum", "the album" },
        { "ftrack", "the track number with zeros in front ({track:3}: three digits)" },
        { "ftracks", "the number of tracks" },
        { "fdisc", "the disc number" },
        { "fdiscs", "the number of discs" },
        { "fyear", "the year" },
        { "fgenre", "the genre" },
        { "falbumartist", "the album artist" },
        { "fn", "the running number of the rename" },
        { "fsep", "the separator box's text" },
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

QString InterfaceTexts::builtInCaption(const QString& key)
{
    static const QHash<QString, QString> captions {
        { "mrename", "rename" }, { "mselect", "select" }, { "msavingm3u", "saving m3u" }, { "mrefresh", "refresh" },
        { "mabout", "about" }, { "mselected", "selected" }, { "mselectall", "select all" },
        { "munselectall", "unselect all" }, { "minvert", "invert" }, { "filename", "filename" }, { "artist", "artist" },
        { "album", "album" }, { "song", "song" }, { "new name", "new name" }, { "message", "messages" },
        { "mp3 filetype", "mp3 filetype" }, { "options", "options" }, { "controller", "controller" },
        { "numbered", "numbered" }, { QString::fromUtf8("no õ"), QString::fromUtf8("no õ ") },
        { "no accent", "no accent" }, { "save m3u", "saving m3u " }, { "no space", "no space" },
        { "rowlines", "rowlines" }, { "separator", "separator " },
    };
    return captions.value(key);
}

const QStringList& InterfaceTexts::addedKeys()
{
    static const QStringList keys = [] {
        QStringList k;
        for (const BuiltIn& m : kAddedTexts)
            k << QString::fromLatin1(m.key);
        for (const PatternText& text : patternTexts())
            k << QString::fromLatin1(text.key);
        return k;
    }();
    return keys;
}

void InterfaceTexts::installBuiltInMessages()
{
    for (const BuiltIn& m : kMessages)
        m_messages.insert(QString::fromLatin1(m.key), QString::fromLatin1(m.text));
    for (const BuiltIn& m : kAddedTexts)
        m_messages.insert(QString::fromLatin1(m.key), QString::fromLatin1(m.text));
    for (const PatternText& text : patternTexts())
        m_messages.insert(QString::fromLatin1(text.key), QString::fromLatin1(text.english));
}

} // namespace zentrio
