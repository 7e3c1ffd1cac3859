#include "testsupport/tagcutscene.h"

#include <QRegularExpression>
#include <QtTest>

using testsupport::PowerMount;
namespace tagcut = testsupport::tagcut;

namespace {

// A sync point as the log names it, the random part of a crash copy's
// name left out, so that two runs name their sync points alike.
QString named(const QString& point)
{
    static const QRegularExpression random(QStringLiteral("/(tmp|patch)-[A-Za-z0-9]{6}"));
    return QString(point).replace(random, QStringLiteral("/\\1-XXXXXX")).remove(QStringLiteral(" lost"));
}

} // namespace

// zentrio-cli tag set (the run of tst_powercut_tagset, new state folder)
// with one of its sync points returning success but making nothing
// durable, as a disk that drops a flush would, then the power cut at each
// later sync point and at the end of the run. Every sync point must be
// needed: without it some cut leaves a file neither old nor new, an undo
// that does not bring a file back, or a journal that lost the change.
class TestPowerCutLostSync : public QObject {
    Q_OBJECT

    QMap<QString, QByteArray> m_new; // each file's digest after a whole run
    QStringList m_points; // the whole run's sync points
    QStringList m_change = tagcut::tagSet(); // the run
    QString m_skip;

    // What broke at one cut after losing sync point `lost`; empty when nothing did.
    QString broken(int lost, int freeze, const QByteArray& how, bool duringSync)
    {
        const tagcut::Files files = tagcut::files();
        PowerMount mount;
        tagcut::lay(mount.backing(), files);
        QString why;
        if (!mount.mount(why))
            return {};
        if (duringSync)
            mount.send("lose-sync " + QByteArray::number(freeze));
        const PowerMount::Run cut = tagcut::runAndCut(mount, m_change, freeze, how, lost);
        const QString point = cut.syncPoints.value(lost - 1);
        if (!point.endsWith(" lost") || named(point) != m_points[lost - 1])
            return "the run's sync points differ: " + cut.syncPoints.join("; ");
        return tagcut::brokenAfterCut(mount, files, m_new, true, cut.ended && cut.exitCode == 0);
    }

    // The first cut after losing sync point `lost` that breaks what a user
    // relies on, as "cut after N: what broke"; empty when none does. The
    // writes not yet synced at a cut are lost, or the first of them is torn
    // (as a disk may leave a write it had begun), and a cut comes after a
    // sync point or while it is under way (its writes torn).
    QString firstBreak(int lost)
    {
        for (int cutAfter = lost; cutAfter <= m_points.size() + 1; ++cutAfter) {
            const int freeze = cutAfter > m_points.size() ? -1 : cutAfter; // past the last: the run's end
            for (const QByteArray how : { QByteArray("cut"), QByteArray("cut tear=1") }) {
                const QString what = broken(lost, freeze, how, false);
                if (!what.isEmpty())
                    return (freeze < 0 ? QString("%1 at the end").arg(how) : QString("%1 after %2").arg(how).arg(cutAfter))
                        + ": " + what;
            }
            for (const QByteArray how : { QByteArray("cut tear=last"), QByteArray("cut keep=last") }) {
                const QString during = cutAfter > lost && freeze > 0 ? broken(lost, freeze, how, true) : QString();
                if (!during.isEmpty())
                    return QString("%1 during %2: ").arg(how).arg(cutAfter) + during;
            }
        }
        return {};
    }

    // The run whole: its sync points and the files' new bytes.
    void runWhole()
    {
        PowerMount mount;
        tagcut::lay(mount.backing(), tagcut::files());
        if (!mount.mount(m_skip))
            return;
        const PowerMount::Run whole = tagcut::runAndCut(mount, m_change, -1);
        QVERIFY2(whole.ended && whole.exitCode == 0, whole.output.constData());
        m_points.clear();
        for (const QString& point : whole.syncPoints)
            m_points << named(point);
        m_new = tagcut::digests(mount, tagcut::files());
    }

private Q_SLOTS:
    void initTestCase() { runWhole(); }

    void everySyncPointIsNeeded()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        QStringList needless;
        for (int lost = 1; lost <= m_points.size(); ++lost) {
            const QString broken = firstBreak(lost);
            qInfo("sync %d, %s: %s", lost, qPrintable(m_points[lost - 1]),
                broken.isEmpty() ? "nothing breaks without it" : qPrintable(broken.left(300)));
            if (broken.isEmpty())
                needless << QString("%1 (%2)").arg(lost).arg(m_points[lost - 1]);
        }
        // Covered by later syncs in this run, needed elsewhere: the new
        // journal's name (the folder's sync when tagsaves is made writes it
        // too; with tagsaves already there, nothing else does), a removed
        // copy's name (the next copy's removal syncs the same folder), and
        // the journal's end (a command left open is closed by the next use).
        // The second crash copy's syncs no cut here shows needed: its files'
        // writes each fall within one 512-byte block, never torn (the next
        // test shows them needed for a longer write).
        const QStringList covered { "2 (fsyncdir /state/zentrio)", "8 (fsyncdir /state/zentrio/tagsaves)",
            "9 (fsync /state/zentrio/tagsaves/tmp-XXXXXX)", "10 (fsyncdir /state/zentrio/tagsaves)",
            "14 (fsync /state/zentrio/tagjournal)" };
        QCOMPARE(needless, covered);
    }

    // A value long enough that its in-place write spans several 512-byte
    // blocks: the crash copy of the files written in place (the last copy
    // of the run) is needed then, its bytes and its name.
    void copyOfAWriteOverSeveralBlocksIsNeeded()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        m_change = { "tag", "set", "--albumartist", QString(700, u'x'), "." };
        runWhole();
        const int copy = static_cast<int>(m_points.lastIndexOf(QRegularExpression("^fsync .*/tagsaves/tmp-XXXXXX$"))) + 1;
        QVERIFY(copy > 0);
        QCOMPARE(m_points.value(copy), QString("fsyncdir /state/zentrio/tagsaves"));
        for (const int lost : { copy, copy + 1 }) {
            const QString broken = firstBreak(lost);
            qInfo("sync %d, %s: %s", lost, qPrintable(m_points[lost - 1]), qPrintable(broken.left(300)));
            QVERIFY2(!broken.isEmpty(), qPrintable(QString("nothing breaks without sync point %1").arg(lost)));
        }
    }
};

QTEST_GUILESS_MAIN(TestPowerCutLostSync)
#include "tst_powercut_lostsync.moc"
