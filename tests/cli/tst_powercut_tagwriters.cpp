#include "testsupport/tagcutscene.h"

#include <QRegularExpression>
#include <QtTest>

using testsupport::PowerMount;
namespace tagcut = testsupport::tagcut;

namespace {

// A mount over a fresh scene; empty, with the reason in `skip`, where none can be had.
std::unique_ptr<PowerMount> mounted(const tagcut::Files& files, QString& skip)
{
    auto mount = std::make_unique<PowerMount>();
    tagcut::lay(mount->backing(), files);
    if (!mount->mount(skip))
        mount.reset();
    return mount;
}

// The tag change made and durable, as before an undo.
QMap<QString, QByteArray> changed(PowerMount& mount, const tagcut::Files& files)
{
    tagcut::runAndCut(mount, tagcut::tagSet(), -1);
    mount.send("sync");
    return tagcut::digests(mount, files);
}

// Cut at that sync point, or, where it was the run's last, the run ended right after it.
bool cutAt(const PowerMount::Run& run, int syncPoint) { return run.frozen || (run.ended && run.syncs == syncPoint); }

// A sync point without the random part of a crash copy's name, for rows named alike in every run.
QString named(const QString& point)
{
    static const QRegularExpression random(QStringLiteral("/(tmp|patch)-[A-Za-z0-9]{6}"));
    return QString(point).replace(random, QStringLiteral("/\\1-XXXXXX"));
}

bool isFileSync(const QString& point, const QString& under)
{
    return !point.startsWith("fsyncdir") && point.section(' ', 1).startsWith(under);
}

} // namespace

// The tag writers' other runs cut by the power: tag undo at each of its
// sync points, the start-up repair cut a second time, writes torn or kept
// out of order between two syncs, and FLAC and M4A files beside the MP3
// ones. After each, what a user does once the machine is back must find
// every file old or new and take the change back (tagcut::brokenAfterCut).
class TestPowerCutTagWriters : public QObject {
    Q_OBJECT

    QString m_skip;
    QMap<QString, QByteArray> m_new; // the new bytes of every file of the scene with other formats
    QStringList m_setPoints; // the sync points of a whole tag set over that scene

    const tagcut::Files m_files = tagcut::files(true);

private Q_SLOTS:
    void initTestCase()
    {
        auto mount = mounted(m_files, m_skip);
        if (!mount)
            return;
        const PowerMount::Run whole = tagcut::runAndCut(*mount, tagcut::tagSet(), -1);
        QVERIFY2(whole.ended && whole.exitCode == 0, whole.output.constData());
        for (const QString& point : whole.syncPoints)
            m_setPoints << named(point);
        m_new = tagcut::digests(*mount, m_files);
        for (const auto& [name, bytes] : m_files)
            QVERIFY2(m_new[name] != QCryptographicHash::hash(bytes, QCryptographicHash::Sha256), qPrintable(name));
    }

    void everyCutIsRepaired_data()
    {
        QTest::addColumn<bool>("undo"); // the cut run: tag undo of the change, else the change itself
        QTest::addColumn<int>("cutAfter");
        QTest::addColumn<int>("loseSync"); // > 0: that sync point made nothing durable (a cut between two syncs)
        QTest::addColumn<QByteArray>("cut");
        QTest::addColumn<int>("repairCutAfter"); // > 0: the start-up repair after the cut is cut there too
        if (!m_skip.isEmpty()) {
            QTest::newRow("no mount") << false << 0 << 0 << QByteArray() << 0;
            return;
        }
        for (int n = 1; n <= m_setPoints.size(); ++n)
            QTest::addRow("tag set, cut after sync %d (%s)", n, qPrintable(m_setPoints[n - 1]))
                << false << n << 0 << QByteArray("cut") << 0;
        // Between the writes of a file and their sync, the disk wrote the
        // first one torn, or all but the first.
        for (int n = 1; n <= m_setPoints.size(); ++n) {
            if (!isFileSync(m_setPoints[n - 1], "/music/") && !isFileSync(m_setPoints[n - 1], "/state/"))
                continue;
            for (const QByteArray cut : { QByteArray("cut tear=1"), QByteArray("cut keep=2-") })
                QTest::addRow("tag set, %s before sync %d (%s)", cut.constData(), n, qPrintable(m_setPoints[n - 1]))
                    << false << n << n << cut << 0;
        }
        // The repair cut in its turn, where a cut of the change left it work.
        for (int n = 1; n < m_setPoints.size(); ++n) {
            if (!isFileSync(m_setPoints[n - 1], "/music/"))
                continue;
            QString skip;
            auto mount = mounted(m_files, skip);
            QVERIFY(mount);
            tagcut::runAndCut(*mount, tagcut::tagSet(), n);
            const PowerMount::Run repair = tagcut::repairAndCut(*mount, -1);
            for (int r = 1; r <= repair.syncs; ++r)
                QTest::addRow("tag set cut after sync %d, its repair after its sync %d", n, r)
                    << false << n << 0 << QByteArray("cut") << r;
        }
        auto mount = mounted(m_files, m_skip);
        QVERIFY(mount);
        changed(*mount, m_files);
        const PowerMount::Run undo = tagcut::runAndCut(*mount, { "tag", "undo" }, -1);
        for (int n = 1; n <= undo.syncs; ++n)
            QTest::addRow("tag undo, cut after sync %d (%s)", n, qPrintable(named(undo.syncPoints[n - 1])))
                << true << n << 0 << QByteArray("cut") << 0;
    }

    void everyCutIsRepaired()
    {
        QFETCH(bool, undo);
        QFETCH(int, cutAfter);
        QFETCH(int, loseSync);
        QFETCH(QByteArray, cut);
        QFETCH(int, repairCutAfter);
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        QString why;
        auto mount = mounted(m_files, why);
        if (!mount)
            QSKIP(qPrintable(why));
        if (undo)
            changed(*mount, m_files);
        const PowerMount::Run run
            = tagcut::runAndCut(*mount, undo ? QStringList { "tag", "undo" } : tagcut::tagSet(), cutAfter, cut, loseSync);
        QVERIFY2(cutAt(run, cutAfter), run.output.constData());
        if (repairCutAfter > 0) {
            const PowerMount::Run repair = tagcut::repairAndCut(*mount, repairCutAfter);
            QVERIFY2(cutAt(repair, repairCutAfter), repair.output.constData());
        }
        const QString broken = tagcut::brokenAfterCut(*mount, m_files, m_new, true);
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
        mount->unmount();
    }
};

QTEST_GUILESS_MAIN(TestPowerCutTagWriters)
#include "tst_powercut_tagwriters.moc"
