#pragma once

#include <QByteArray>
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
    };
    struct Run {
        bool frozen = false; // the program reached the sync point and was cut there
        bool ended = false; // the program ended on its own before that
        int exitCode = -1;
        qint64 syncs = 0; // the program's sync points before the cut
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

    bool send(const QByteArray& command) const;
    Status status() const;

    // Runs the program in `folder` with the power cut after `freezeAfter`
    // more sync points (never where negative): waits until the mount is
    // frozen or the program ends, kills it (SIGKILL) and cuts (`cut` may
    // keep pending writes, or tear one). The mount serves the durable state
    // from then on.
    Run runAndCut(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
        const QString& folder, int freezeAfter, const QByteArray& cut = "cut");

private:
    QTemporaryDir m_dir;
    QProcess m_fs;
    bool m_mounted = false;
};

} // namespace testsupport
