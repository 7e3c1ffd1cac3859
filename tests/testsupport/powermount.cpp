#include "testsupport/powermount.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

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
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_fs.state() == QProcess::Running) {
        if (status().syncs >= 0) {
            m_mounted = true;
            return true;
        }
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
    QFile control(root() + "/.powerfs");
    return control.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && control.write(command) == command.size();
}

PowerMount::Status PowerMount::status() const
{
    Status status;
    QFile control(root() + "/.powerfs");
    if (!control.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return status;
    for (const QByteArray& line : control.readAll().split('\n')) {
        if (line.startsWith("syncs "))
            status.syncs = line.mid(6).toLongLong();
        else if (line.startsWith("frozen "))
            status.frozen = line.mid(7) == "1";
    }
    return status;
}

PowerMount::Run PowerMount::runAndCut(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment, const QString& folder, int freezeAfter, const QByteArray& cut)
{
    Run run;
    const qint64 before = status().syncs;
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
    run.syncs = status().syncs - before;
    child.kill();
    send(cut); // lets the killed program's last call return, so it can die
    child.waitForFinished(kWaitMs);
    run.output = child.readAll();
    return run;
}

} // namespace testsupport
