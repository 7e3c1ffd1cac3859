#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/powermount.h"

#include <QCryptographicHash>
#include <QDir>
#include <QtTest>

using testsupport::PowerMount;

namespace {

// Three files: two whose new tag fits in their tag's padding (written in
// place, one with an ID3v1 record too) and one without an ID3v2 tag, whose
// tag must grow (the audio moves, behind a copy of the whole file).
const QList<QPair<QString, QByteArray>>& oldFiles()
{
    static const QList<QPair<QString, QByteArray>> files {
        { "padded.mp3", testsupport::id3v2(3, { { "One" }, { "Band" }, { "Album" } }) + testsupport::audio(3000) },
        { "plain.mp3", testsupport::audio(2500) + testsupport::id3v1("Two", "Band", "Album") },
        { "recorded.mp3", testsupport::id3v2(4, { { "Three" }, { "Band" }, { "Album" } }) + testsupport::audio(2000)
                + testsupport::id3v1("Three", "Band", "Album") },
    };
    return files;
}

QByteArray digest(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256) : "";
}

} // namespace

// zentrio-cli tag set with the power cut at each of its sync points, its
// crash copies and journal on the same mount; then the start-up repair (a
// tag set over an empty folder) and tag undo, as a user would run them after
// the machine comes back.
class TestPowerCutTagSet : public QObject {
    Q_OBJECT

    QMap<QString, QByteArray> m_new; // each file's digest after a whole run
    QString m_skip;

    static void lay(const QString& root)
    {
        QDir(root).mkpath("music");
        QDir(root).mkpath("empty");
        QDir(root).mkpath("state");
        QDir(root).mkpath("config");
        for (const auto& [name, bytes] : oldFiles())
            testsupport::writeFile((root + "/music").toStdString(), name.toStdString(), bytes);
    }

    // The state folder of a user who changed tags before: its journal,
    // lock and folder of crash copies made and durable.
    static bool useBefore(PowerMount& mount)
    {
        QDir(mount.root()).mkpath("earlier");
        testsupport::writeTagged((mount.root() + "/earlier").toStdString(), "earlier.mp3", "Earlier");
        run(mount, { "tag", "set", "--albumartist", "Y", "../earlier" });
        return mount.send("sync");
    }

    static PowerMount::Run tagSet(PowerMount& mount, const QString& folder, int freezeAfter)
    {
        return mount.runAndCut(ZENTRIO_CLI, { "tag", "set", "--albumartist", "X", "." }, mount.programEnvironment(),
            mount.root() + "/" + folder, freezeAfter);
    }

    static QByteArray run(const PowerMount& mount, const QStringList& arguments)
    {
        QProcess cli;
        cli.setProcessChannelMode(QProcess::MergedChannels);
        cli.setProcessEnvironment(mount.programEnvironment());
        cli.setWorkingDirectory(mount.root() + "/music");
        cli.start(ZENTRIO_CLI, arguments);
        cli.waitForFinished(60000);
        return cli.readAll();
    }

private Q_SLOTS:
    void eachFileOldOrNewAndUndone_data()
    {
        QTest::addColumn<bool>("usedBefore");
        QTest::addColumn<int>("cutAfter");
        for (const bool usedBefore : { false, true }) {
            PowerMount mount;
            lay(mount.backing());
            if (!mount.mount(m_skip)) {
                QTest::newRow("no mount") << false << -1;
                return;
            }
            if (usedBefore)
                QVERIFY(useBefore(mount));
            const PowerMount::Run whole = tagSet(mount, "music", -1);
            for (const auto& [name, bytes] : oldFiles())
                m_new[name] = digest(mount.root() + "/music/" + name);
            for (int n = 1; n <= whole.syncs; ++n)
                QTest::addRow("%s, cut after sync %d of %lld", usedBefore ? "state used before" : "new state", n,
                    whole.syncs)
                    << usedBefore << n;
        }
    }

    void eachFileOldOrNewAndUndone()
    {
        QFETCH(bool, usedBefore);
        QFETCH(int, cutAfter);
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        PowerMount mount;
        lay(mount.backing());
        QString why;
        if (!mount.mount(why))
            QSKIP(qPrintable(why));
        if (usedBefore)
            QVERIFY(useBefore(mount));
        const PowerMount::Run cut = tagSet(mount, "music", cutAfter);
        QVERIFY2(cut.frozen, cut.output.constData());

        const QByteArray repaired = run(mount, { "tag", "set", "--albumartist", "X", "../empty" });
        QStringList names;
        for (const auto& [name, bytes] : oldFiles()) {
            const QByteArray now = digest(mount.root() + "/music/" + name);
            const QByteArray old = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
            QVERIFY2(now == old || now == m_new[name], qPrintable(name + " holds neither its old nor its new bytes; "
                + QString::fromUtf8(repaired)));
            names << name;
        }
        names.sort();
        QCOMPARE(QDir(mount.root() + "/music").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                     QDir::Name),
            names);

        const QByteArray undone = run(mount, { "tag", "undo" });
        QStringList notBack;
        for (const auto& [name, bytes] : oldFiles())
            if (testsupport::readFile((mount.root() + "/music/" + name).toStdString()) != bytes)
                notBack << name;
        QVERIFY2(notBack.isEmpty(), qPrintable(notBack.join(", ") + " not brought back by the undo: " + undone));
        if (!usedBefore)
            QCOMPARE(run(mount, { "tag", "undo" }), QByteArray("no tag changes to undo\n"));
        mount.unmount();
    }
};

QTEST_GUILESS_MAIN(TestPowerCutTagSet)
#include "tst_powercut_tagset.moc"
