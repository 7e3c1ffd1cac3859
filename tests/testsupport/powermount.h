#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// The test file system that loses power (tests/powerfs), mounted over a
// temporary backing folder at a temporary mount point. The mount goes when
// this object does, and with the test process however it ends.
class PowerMount {
public:
    struct Status {
        qint64 syncs = -1; // sync points since the mount
        bool frozen = false;
        qint64 pending = 0; // writes and truncations not yet durable
    };
    struct Run {
        bool frozen = false; // the program reached the sync point and was cut there
        bool ended = false; // the program ended on its own before that
        int exitCode = -1;
        qint64 syncs = 0; // the program's sync points before the cut
        qint64 pending = 0; // writes and truncations not yet durable at the cut, numbered from 1 for `cut keep=`
        QStringList syncPoints; // each of them: "fsync|fdatasync|fsyncdir PATH [lost]", PATH within the mount
        QByteArray output; // stdout and stderr
    };

    PowerMount();
    ~PowerMount();
    PowerMount(const PowerMount&) = delete;
    PowerMount& operator=(const PowerMount&) = delete;

    // False, with the reason, where the file system cannot be mounted here.
    bool mount(QString& why);
    void unmount();

    QString root() const { return m_dir.path() + "/mnt"; } // what programs see
    QString backing() const { return m_dir.path() + "/backing"; } // the durable state once cut and unmounted

    // The environment of a program run on the mount: its state and its
    // settings lie on the mount too, so that a cut reaches them as well.
    QProcessEnvironment programEnvironment() const;

    bool send(const QByteArray& command) const;
    Status status() const;
    // Every sync point since the mount, oldest first, as Run::syncPoints tells them.
    QStringList syncPoints() const;

    // Runs the program in `folder` with the power cut after `freezeAfter`
    // more sync points (never where negative): waits until the mount is
    // frozen or the program ends, kills it (SIGKILL) and cuts (`cut` may
    // keep pending writes, or tear one). The mount serves the durable state
    // from then on. With `loseSync` K > 0 the program's Kth sync point
    // returns success but makes nothing durable.
    Run runAndCut(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
        const QString& folder, int freezeAfter, const QByteArray& cut = "cut", int loseSync = 0);

private:
    QTemporaryDir m_dir;
    QProcess m_fs;
    mutable QFile m_control; // the control file, open for as long as the mount
    mutable QFile m_syncLog;
    bool m_mounted = false;
};

} // namespace testsupport
