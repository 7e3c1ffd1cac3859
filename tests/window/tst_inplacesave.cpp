#include "platform/fs/fsops.h"
#include "platform/fs/patchfile.h"
#include "tags/write/tagsave.h"
#include "testsupport/formfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include <QLabel>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zentrio;
using testsupport::readFile;

namespace {

const TagEdit kEdit { "New title", "New artist", "New album" };

// A tag with a 20 KiB picture, a track number and TagLib's padding, audio,
// and an ID3v1 record.
QByteArray taggedFile()
{
    testsupport::Id3v2Content content({ "Title" }, { "Artist" }, { "Album" });
    content.pictureBytes = 20000;
    content.track = "7/9";
    return testsupport::id3v2(3, content) + testsupport::audio(65536) + testsupport::id3v1("Title", "Artist", "Album");
}

struct stat statOf(const std::string& path, bool followLinks = true)
{
    struct stat st {};
    (followLinks ? ::stat : ::lstat)(path.c_str(), &st);
    return st;
}

} // namespace

// A tag save that fits in the old tag's room writes only the tag and the
// record, keeps the file's inode and links, and a save cut short is put
// back by the next start.
class InPlaceSaveTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aSaveThatFitsKeepsTheInodeTheAudioAndTheOtherFrames();
    void aLinkKeepsPointingAtTheSavedFile();
    void aHardLinkedFileIsNeverSplit();
    void aSaveKilledBetweenCopyAndWriteIsPutBackAtStart();
};

void InPlaceSaveTest::aSaveThatFitsKeepsTheInodeTheAudioAndTheOtherFrames()
{
    testsupport::FormFixture f; // its own state folder
    const QByteArray before = taggedFile();
    const std::string path = testsupport::writeFile(f.music(), "a.mp3", before);
    const ino_t inode = statOf(path).st_ino;
    QVERIFY(saveTag(path, kEdit, 2026, TagSource::Id3v2First));

    const QByteArray after = readFile(path);
    QCOMPARE(statOf(path).st_ino, inode);
    QCOMPARE(after.size(), before.size());
    const qsizetype tagEnd = before.size() - 65536 - 128;
    QCOMPARE(after.mid(tagEnd, 65536), before.mid(tagEnd, 65536));
    QCOMPARE(after.right(128), buildTagRecord(kEdit, 2026));
    const auto read = readFileTag(path, TagSource::Id3v2First);
    QVERIFY(read);
    QCOMPARE(QStringList({ read->song, read->artist, read->album, read->track, read->tracks }),
        QStringList({ "New title", "New artist", "New album", "7", "9" }));
    const qsizetype picture = before.indexOf("APIC");
    QVERIFY(after.contains(before.mid(picture + 10, 20000))); // the picture's bytes, untouched
    QVERIFY(testsupport::everyEntry(tagCopyFolder()).empty());
}

void InPlaceSaveTest::aLinkKeepsPointingAtTheSavedFile()
{
    testsupport::FormFixture f;
    const std::string target = testsupport::writeFile(f.music(), "target.mp3", taggedFile());
    const std::string link = f.music() + "/link.mp3";
    QCOMPARE(::symlink(target.c_str(), link.c_str()), 0);
    // Through the link, in place and with a tag that must grow.
    QVERIFY(saveTag(link, kEdit, 2026, TagSource::Id3v2First));
    QVERIFY(saveTag(link, { QString(3000, 'x'), "A", "B" }, 2026, TagSource::Id3v2First));
    QVERIFY(S_ISLNK(statOf(link, false).st_mode));
    QCOMPARE(readFileTag(target, TagSource::Id3v2First)->song, QString(3000, 'x'));
}

void InPlaceSaveTest::aHardLinkedFileIsNeverSplit()
{
    testsupport::FormFixture f;
    const std::string path = testsupport::writeFile(f.music(), "a.mp3", taggedFile());
    const std::string other = f.music() + "/b.mp3";
    QCOMPARE(::link(path.c_str(), other.c_str()), 0);
    QVERIFY(saveTag(path, kEdit, 2026, TagSource::Id3v2First));
    QCOMPARE(readFileTag(other, TagSource::Id3v2First)->song, QString("New title"));

    // A tag that must grow is written in place too: both names still share it.
    QVERIFY(saveTag(path, { QString(3000, 'x'), "A", "B" }, 2026, TagSource::Id3v2First));
    QCOMPARE(readFileTag(other, TagSource::Id3v2First)->song, QString(3000, 'x'));
    QCOMPARE(statOf(path).st_nlink, nlink_t(2));
    QCOMPARE(statOf(other).st_ino, statOf(path).st_ino);
}

void InPlaceSaveTest::aSaveKilledBetweenCopyAndWriteIsPutBackAtStart()
{
    testsupport::FormFixture f;
    const QByteArray before = taggedFile();
    const std::string path = testsupport::writeFile(f.music(), "a.mp3", before);
    const pid_t child = ::fork();
    if (child == 0) {
        // Half of a new region is on the disk when the process dies.
        const std::string region(4096, 'N');
        fs::patchFile(path, { { 0, region } }, tagCopyFolder(), [&] {
            const int fd = ::open(path.c_str(), O_WRONLY);
            (void)::pwrite(fd, region.data(), region.size() / 2, 0);
            ::_exit(0);
        });
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    QVERIFY(readFile(path) != before);

    f.start();
    QCOMPARE(f.message(), QString(" a tag save was cut short: the old tag of 1 file(s) is back"));
    QCOMPARE(readFile(path), before);
    QVERIFY(testsupport::everyEntry(tagCopyFolder()).empty());
}

QTEST_MAIN(InPlaceSaveTest)
#include "tst_inplacesave.moc"
