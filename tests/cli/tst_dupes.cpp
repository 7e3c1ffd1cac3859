#include "testsupport/formatfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>
#include <sys/time.h>

namespace {

// An APEv2 tag with a header and no items, or a footer alone that claims
// `claimed` bytes.
QByteArray apeTag(quint32 claimed = 32)
{
    const auto part = [claimed](quint32 flags) {
        QByteArray bytes("APETAGEX");
        for (const quint32 value : { quint32(2000), claimed, quint32(0), flags })
            for (int i = 0; i < 4; ++i)
                bytes.append(char((value >> (8 * i)) & 0xFF));
        return bytes + QByteArray(8, '\0');
    };
    return claimed == 32 ? part(0xA0000000u) + part(0x80000000u) : part(0);
}

QByteArray lyrics3v2()
{
    const QByteArray body = "LYRICSBEGININD0000210";
    return body + QByteArray::number(body.size()).rightJustified(6, '0') + "LYRICS200";
}

// "AUDIO+PART+...": AUDIO is a letter and a length ("a600": 600 audio-like
// bytes that begin with the letter); the parts are added around it: v2 (an
// ID3v2.3 tag "Song/Artist/Album"), v2:Title (the same with another title,
// so a tag of another size), v1 (an ID3v1 record), ape, lyrics, and the
// damaged: huge (an ID3v2 header that claims 1 MiB), apehuge (an APE
// footer that claims more than the file holds); at the end v24end (an
// ID3v2.4 tag with a footer) and tagplus (a TAG+ block, before v1). AUDIO
// "F600" is the audio of a FLAC file of 600 bytes (its frame sync first);
// xxh1 and xxh2 make two audios whose XXH3 digests meet (the first half
// of their first 64-bit word is the digest's key, so that its product is
// 0, and the other half of the words at 4 and 68 differ by +1 and -1).
QByteArray mp3Bytes(const QString& description)
{
    const QStringList parts = description.split('+');
    QByteArray audio = testsupport::audio(parts[0].mid(1).toInt());
    audio[0] = parts[0][0].toLatin1();
    if (parts[0][0] == 'F')
        audio = "\xFF\xF8" + testsupport::audio(parts[0].mid(1).toInt());
    QByteArray head, tail;
    for (const QString& part : parts.mid(1)) {
        if (part == "xxh1" || part == "xxh2") {
            const char step = part == "xxh2" ? 1 : 0;
            audio.replace(0, 8, QByteArray("\xB8\xFE\x6C\x39\x11\x11\x11\x11", 8));
            audio.replace(64, 8, QByteArray("\x7C\x01\x81\x2C\x22\x22\x22\x22", 8));
            audio[4] = char(audio[4] + step);
            audio[68] = char(audio[68] - step);
        }
        if (part == "v24end")
            tail += QByteArray("ID3\x04\0\x10\0\0\0\x0f"
                               "TIT2\0\0\0\x05\0\0\0Song"
                               "3DI\x04\0\x10\0\0\0\x0f",
                35);
        if (part == "tagplus")
            tail += "TAG+" + QByteArray(223, ' ');
        if (part.startsWith("v2"))
            head = testsupport::id3v2(3, { { part.section(':', 1).isEmpty() ? "Song" : part.section(':', 1) },
                                             { "Artist" }, { "Album" } });
        else if (part == "v1")
            tail += testsupport::id3v1("Song", "Artist", "Album");
        else if (part == "ape")
            tail.prepend(apeTag());
        else if (part == "apehuge")
            tail += apeTag(100000);
        else if (part == "lyrics")
            tail.prepend(lyrics3v2());
        else if (part == "huge")
            head = QByteArray("ID3\x03\0\0\0\x40\0\0", 10);
    }
    return head + audio + tail;
}

class Library {
public:
    std::string root() const { return m_dir.path().toStdString(); }

    // "path=description": an MP3 file by mp3Bytes, or for another format's
    // extension its untagged file, tagged with the title given ("x.flac=Two"),
    // and then given the bytes after "|" in hex at the offset before them
    // ("x.wav=|24:80bb0000": a WAV file at 48000 Hz).
    void make(const QStringList& files)
    {
        for (const QString& entry : files) {
            const QString path = entry.section('=', 0, 0);
            if (entry.contains('|')) {
                make({ entry.section('|', 0, 0) });
                const QString patch = entry.section('|', 1);
                QByteArray bytes = testsupport::readFile(root() + "/" + path.toStdString());
                bytes.replace(patch.section(':', 0, 0).toInt(), patch.section(':', 1).size() / 2,
                    QByteArray::fromHex(patch.section(':', 1).toLatin1()));
                testsupport::writeFile(root(), path.toStdString(), bytes);
                continue;
            }
            QDir(m_dir.path()).mkpath(QFileInfo(path).path());
            const QString format = QFileInfo(path).suffix();
            if (format == "mp3") {
                testsupport::writeFile(root(), path.toStdString(), mp3Bytes(entry.section('=', 1)));
                continue;
            }
            // Each format's audio of its own length: the fixtures' audio bytes are alike.
            const int audioBytes = 600 + 10 * int(QStringList { "flac", "ogg", "m4a", "wav", "aiff" }.indexOf(format));
            testsupport::writeFile(
                root(), path.toStdString(), testsupport::untaggedFile(format.toStdString(), audioBytes));
            const QString title = entry.section('=', 1);
            if (!title.isEmpty())
                QVERIFY(testsupport::tagFile(
                    root() + "/" + path.toStdString(), { { "TITLE", { title.toStdString() } } }));
        }
    }

    struct Result {
        int status = -1;
        QByteArray out, err;
    };
    Result run(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", m_dir.path() + "/.state");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(ZENTRIO_CLI, arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return { process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError() };
    }

    // Each group of --json output as its files' paths below the library, " "-joined.
    QStringList groups(const QByteArray& json) const
    {
        QStringList found;
        for (const QByteArray& line : json.split('\n')) {
            if (line.isEmpty())
                continue;
            QStringList paths;
            for (const QJsonValue file : QJsonDocument::fromJson(line).object().value("files").toArray())
                paths << file.toObject().value("path").toString().mid(m_dir.path().size() + 1);
            found << paths.join(' ');
        }
        return found;
    }

    // Every file below the library (the history aside) with its bytes.
    QMap<QString, QByteArray> contents(const QString& below = {}) const
    {
        QMap<QString, QByteArray> found;
        for (const std::string& name : testsupport::everyEntry(root() + below.toStdString())) {
            const QString relative = below + "/" + QString::fromStdString(name);
            if (name == ".state")
                continue;
            if (QFileInfo(m_dir.path() + relative).isDir())
                found.insert(contents(relative));
            else
                found.insert(relative.mid(1), testsupport::readFile(root() + relative.toStdString()));
        }
        return found;
    }

    void setTime(const QString& path, int secondsAgo)
    {
        const timeval now { time(nullptr) - secondsAgo, 0 };
        const timeval times[2] { now, now };
        ::utimes((root() + "/" + path.toStdString()).c_str(), times);
    }

private:
    testsupport::TempDir m_dir;
};

} // namespace

// zentrio-cli dupes on real files: which files make a group, in which
// order, which files are reported, and a move of the extra copies that
// undo takes back whole.
class DupesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void groupsOfCopies_data();
    void groupsOfCopies();
    void extraCopiesMovedAndBack_data();
    void extraCopiesMovedAndBack();
    void nulRecordsEndEachGroup();
    void copiesMovedIntoTheLibraryItself();
};

void DupesTest::groupsOfCopies_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QString>("reported"); // on stderr, or empty
    const QStringList sameTagsOtherAudio { "m/a.mp3=a600+v2", "m/b.mp3=b600+v2" };
    QTest::newRow("an ID3v2 tag of another size")
        << QStringList { "m/a.mp3=a600+v2", "m/b.mp3=a600+v2:A much longer title than the first" } << QStringList {}
        << QStringList { "m/a.mp3 m/b.mp3" } << QString();
    QTest::newRow("an ID3v1 record, APE and Lyrics3 tags added")
        << QStringList { "m/a.mp3=a600", "m/b.mp3=a600+v1", "m/c.mp3=a600+v2+ape+v1", "m/d.mp3=a600+lyrics+v1" }
        << QStringList {} << QStringList { "m/a.mp3 m/b.mp3 m/c.mp3 m/d.mp3" } << QString();
    QTest::newRow("other names in other folders, the largest group first")
        << QStringList { "m/x/one.mp3=a600", "m/y/two.mp3=a600+v2", "m/y/b1.mp3=b700", "m/z/b2.mp3=b700+v1",
               "m/b3.mp3=b700" }
        << QStringList { "-r" } << QStringList { "m/b3.mp3 m/y/b1.mp3 m/z/b2.mp3", "m/x/one.mp3 m/y/two.mp3" }
        << QString();
    QTest::newRow("the same tags, other audio of the same length")
        << sameTagsOtherAudio << QStringList {} << QStringList {} << QString();
    QTest::newRow("the same tags, found by tags") << sameTagsOtherAudio << QStringList { "--by", "tags" }
                                                  << QStringList { "m/a.mp3 m/b.mp3" } << QString();
    QTest::newRow("a tag that claims more than the file")
        << QStringList { "m/a.mp3=a600", "m/b.mp3=a600+huge" } << QStringList {} << QStringList {}
        << "m/b.mp3: its audio cannot be delimited: its ID3v2 tag claims more bytes than the file holds";
    QTest::newRow("an APE tag that claims more than the file")
        << QStringList { "m/a.mp3=a600", "m/b.mp3=a600+apehuge" } << QStringList {} << QStringList {}
        << "m/b.mp3: its audio cannot be delimited: a tag at its end claims more bytes than the file holds";
    QTest::newRow("the same samples at another rate or as other frames")
        << QStringList { "m/a.wav=", "m/b.wav=|24:80bb0000", "m/c.flac=", "m/d.mp3=F600" } << QStringList {}
        << QStringList {} << QString();
    QTest::newRow("an ID3v2.4 tag and a TAG+ block at the end")
        << QStringList { "m/a.mp3=a600", "m/b.mp3=a600+v24end+v1", "m/c.mp3=a600+v2+tagplus+v1" } << QStringList {}
        << QStringList { "m/a.mp3 m/b.mp3 m/c.mp3" } << QString();
    QTest::newRow("a hard link is no copy") << QStringList { "m/a.mp3=a600" } << QStringList { "link" }
                                            << QStringList {} << QString();
    QTest::newRow("FLAC, Ogg, MP4, WAV and AIFF copies with other tags")
        << QStringList { "m/a.flac=One", "m/b.flac=A longer title", "m/a.ogg=One", "m/b.ogg=Two",
               "m/a.m4a=One", "m/b.m4a=A longer title", "m/a.wav=One", "m/b.wav=Two", "m/a.aiff=", "m/b.aiff=Two" }
        << QStringList {}
        << QStringList { "m/a.aiff m/b.aiff", "m/a.flac m/b.flac", "m/a.m4a m/b.m4a", "m/a.ogg m/b.ogg",
               "m/a.wav m/b.wav" }
        << QString();
}

void DupesTest::groupsOfCopies()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, groups);
    QFETCH(QString, reported);
    Library library;
    library.make(files);
    if (arguments == QStringList { "link" }) {
        QCOMPARE(::link((library.root() + "/m/a.mp3").c_str(), (library.root() + "/m/b.mp3").c_str()), 0);
        arguments.clear();
    }
    const auto before = library.contents();
    const auto run = library.run(QStringList { "dupes", "--json" } + arguments + QStringList { "m" });
    QVERIFY2(run.status == (reported.isEmpty() ? 0 : 1), run.err.constData());
    const QStringList found = library.groups(run.out);
    QVERIFY2(found == groups, qPrintable(found.join(" | ") + "\n" + run.err));
    if (!reported.isEmpty())
        QVERIFY2(run.err.contains(reported.toUtf8()), run.err.constData());
    QCOMPARE(library.contents(), before); // a search changes nothing
}

void DupesTest::extraCopiesMovedAndBack_data()
{
    QTest::addColumn<QString>("keep");
    QTest::addColumn<QStringList>("moved");
    // m/x/song.mp3 is the newest, m/y/z/song.mp3 the oldest.
    QTest::newRow("first") << "first" << QStringList { "dupes/y/z/song.mp3", "dupes/zsong.mp3" };
    QTest::newRow("newest") << "newest" << QStringList { "dupes/y/z/song.mp3", "dupes/zsong.mp3" };
    QTest::newRow("oldest") << "oldest" << QStringList { "dupes/x/song.mp3", "dupes/zsong.mp3" };
    QTest::newRow("shortest-path") << "shortest-path" << QStringList { "dupes/x/song.mp3", "dupes/y/z/song.mp3" };
}

void DupesTest::extraCopiesMovedAndBack()
{
    QFETCH(QString, keep);
    QFETCH(QStringList, moved);
    Library library;
    library.make({ "m/x/song.mp3=a900+v2", "m/y/z/song.mp3=a900+v1", "m/zsong.mp3=a900", "m/other.mp3=b900" });
    library.setTime("m/x/song.mp3", 10);
    library.setTime("m/y/z/song.mp3", 3000);
    library.setTime("m/zsong.mp3", 100);
    const auto before = library.contents();
    const auto run = library.run({ "dupes", "-r", "m", "--move-to", "dupes", "--keep", keep });
    QVERIFY2(run.status == 0, run.err.constData());
    const auto after = library.contents();
    QCOMPARE(after.size(), before.size());
    for (const QString& path : moved)
        QCOMPARE(after.value(path), before.value("m/" + path.mid(6))); // moved whole, its folder kept below DIR
    QVERIFY(after.contains("m/other.mp3"));
    const auto undo = library.run({ "undo" });
    QVERIFY2(undo.status == 0, undo.err.constData());
    QCOMPARE(library.contents(), before); // every file back, byte for byte
}

void DupesTest::nulRecordsEndEachGroup()
{
    Library library;
    library.make({ "m/a b.mp3=a600", "m/c.mp3=a600+v2", "m/d.mp3=b600", "m/e.mp3=b600+v1" });
    const auto run = library.run({ "dupes", "-0", "m" });
    QCOMPARE(run.status, 0);
    const char expected[] = "m/a b.mp3\0m/c.mp3\0\0m/d.mp3\0m/e.mp3\0\0";
    QCOMPARE(run.out, QByteArray(expected, sizeof expected - 1));
}

// The folder the copies go to lies in the library: it is not searched
// again, -0 keeps stdout for the records, a file whose digest meets the
// kept one's without its bytes stays, and the names a move leaves behind
// are told.
void DupesTest::copiesMovedIntoTheLibraryItself()
{
    Library library;
    library.make({ "m/a.mp3=a900+v2", "m/b.mp3=a900", "m/x.mp3=c1200+xxh1", "m/y.mp3=c1200+xxh2" });
    QCOMPARE(::link((library.root() + "/m/a.mp3").c_str(), (library.root() + "/m/h.mp3").c_str()), 0);
    QCOMPARE(::symlink("a.mp3", (library.root() + "/m/l.mp3").c_str()), 0);
    library.setTime("m/a.mp3", 100);
    library.setTime("m/y.mp3", 100); // b and x are the newest
    const QStringList command { "dupes", "-r", "m", "--keep", "newest", "--move-to", "m/dupes" };
    const auto listed = library.run({ "dupes", "--json", "m" });
    QCOMPARE(library.groups(listed.out), QStringList({ "m/a.mp3 m/b.mp3", "m/x.mp3 m/y.mp3" })); // by digest
    const auto dry = library.run(command + QStringList { "-n" });
    const QByteArray bytes = QByteArray::number(QFileInfo(QString::fromStdString(library.root()) + "/m/a.mp3").size());
    QVERIFY2(dry.err.contains("groups 1, files beyond one a group 1 (" + bytes + " bytes)"), dry.err.constData());
    const auto before = library.contents();
    const auto moved = library.run(command + QStringList { "-0" });
    QVERIFY2(moved.status == 1, moved.err.constData()); // y is reported
    const char records[] = "m/a.mp3\0m/b.mp3\0\0";
    QCOMPARE(moved.out, QByteArray(records, sizeof records - 1));
    for (const char* told : { "m/a.mp3 -> m/dupes/a.mp3", "from that of m/x.mp3",
             "m/l.mp3: a symbolic link to m/a.mp3", "m/h.mp3: another name (hard link) of m/a.mp3" })
        QVERIFY2(moved.err.contains(told), moved.err.constData());
    auto after = library.contents();
    QCOMPARE(after.value("m/dupes/a.mp3"), before.value("m/a.mp3"));
    QVERIFY(after.contains("m/y.mp3"));
    const auto again = library.run(command + QStringList { "-0" });
    QVERIFY2(!again.out.contains("m/dupes/"), again.out.constData());
    QVERIFY(library.contents().contains("m/b.mp3")); // a copy stays outside the folder
    QVERIFY(!library.contents().contains("m/dupes/dupes/a.mp3"));
}

QTEST_GUILESS_MAIN(DupesTest)
#include "tst_dupes.moc"
