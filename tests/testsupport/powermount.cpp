#include "testsupport/powermount.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace testsupport {

namespace {

    const int kWaitMs = 60000;

    bool tryUnmount(const QString& folder, const QStringList& options)
    {
        QProcess tool;
        tool.start("fusermount3", options + QStringList { folder });
        if (tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
            return true;
        tool.start("umount", { "-l", folder }); // where fusermount3 is missing
        return tool.waitForFinished(10000) && tool.exitCode() == 0;
    }

} // namespace

PowerMount::PowerMount()
{
    QDir(m_dir.path()).mkdir("backing");
    QDir(m_dir.path()).mkdir("mnt");
    m_fs.setProcessChannelMode(QProcess::MergedChannels);
    // A test killed while the mount is frozen (a timeout) takes the file
    // system with it: a frozen mount left behind would block every later
    // program that looks at the machine's mounts, as the window's drive list does.
    m_fs.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

PowerMount::~PowerMount() { unmount(); }

bool PowerMount::mount(QString& why)
{
#ifndef ZENTRIO_POWERFS
    why = "libfuse3 was not found when this was built";
    return false;
#else
    if (!QFile::exists("/dev/fuse")) {
        why = "no /dev/fuse here";
        return false;
    }
    m_fs.start(ZENTRIO_POWERFS, { backing(), root(), "-o", "auto_unmount" });
    if (!m_fs.waitForStarted()) {
        why = "the file system did not start: " + m_fs.errorString();
        return false;
    }
    // The control files stay open: a program frozen while it creates a
    // file holds its folder's lock in the kernel, and a lookup of the root
    // to open them would wait for it.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_fs.state() == QProcess::Running) {
        m_control.setFileName(root() + "/.powerfs");
        m_syncLog.setFileName(root() + "/.powerfs-syncs");
        if (m_control.open(QIODevice::ReadWrite | QIODevice::Unbuffered)
            && m_syncLog.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && status().syncs >= 0) {
            m_mounted = true;
            return true;
        }
        m_control.close();
        m_syncLog.close();
        m_fs.waitForFinished(10);
    }
    why = "FUSE cannot mount here: " + QString::fromLocal8Bit(m_fs.readAll()).trimmed();
    m_fs.kill();
    m_fs.waitForFinished();
    return false;
#endif
}

void PowerMount::unmount()
{
    m_control.close();
    m_syncLog.close();
    if (m_fs.state() == QProcess::NotRunning)
        return;
    if (m_mounted && !tryUnmount(root(), { "-u" }))
        tryUnmount(root(), { "-u", "-z" });
    m_mounted = false;
    if (!m_fs.waitForFinished(10000)) {
        m_fs.kill(); // auto_unmount takes the mount away with it
        m_fs.waitForFinished();
    }
}

bool PowerMount::send(const QByteArray& command) const
{
    return m_control.isOpen() && m_control.seek(0) && m_control.write(command) == command.size();
}

PowerMount::Status PowerMount::status() const
{
    Status status;
    if (!m_control.isOpen() || !m_control.seek(0))
        return status;
    for (const QByteArray& line : m_control.readAll().split('\n')) {
        if (line.startsWith("syncs "))
            status.syncs = line.mid(6).toLongLong();
        else if (line.startsWith("frozen "))
            status.frozen = line.mid(7) == "1";
        else if (line.startsWith("pending "))
            status.pending = line.mid(8).toLongLong();
    }
    return status;
}

QStringList PowerMount::syncPoints() const
{
    QStringList points;
    if (!m_syncLog.isOpen() || !m_syncLog.seek(0))
        return points;
    for (const QByteArray& line : m_syncLog.readAll().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            points << QString::fromUtf8(line.mid(space + 1));
    }
    return points;
}

PowerMount::Run PowerMount::runAndCut(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment, const QString& folder, int freezeAfter, const QByteArray& cut,
    int loseSync)
{
    Run run;
    const qint64 before = status().syncs;
    if (loseSync > 0)
        send("lose-sync " + QByteArray::number(loseSync));
    if (freezeAfter >= 0)
        send("freeze-after " + QByteArray::number(freezeAfter));
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(folder);
    child.start(program, arguments);
    const QDeadlineTimer deadline(kWaitMs);
    while (!deadline.hasExpired() && !run.frozen && !child.waitForFinished(2))
        run.frozen = freezeAfter >= 0 && status().frozen;
    run.ended = child.state() == QProcess::NotRunning && child.exitStatus() == QProcess::NormalExit;
    run.exitCode = run.ended ? child.exitCode() : -1;
    const Status now = status();
    run.syncs = now.syncs - before;
    run.pending = now.pending;
    run.syncPoints = syncPoints().mid(before, run.syncs);
    child.kill();
    send(cut); // lets the killed program's last call return, so it can die
    child.waitForFinished(kWaitMs);
    run.output = child.readAll();
    return run;
}

QProcessEnvironment PowerMount::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", root() + "/state");
    env.insert("XDG_CONFIG_HOME", root() + "/config");
    return env;
}

} // namespace testsupport
