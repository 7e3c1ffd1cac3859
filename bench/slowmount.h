#pragma once

// The benchmark's slow mount: our FUSE pass-through (bench/slowfs.c) over a
// source folder, waiting on every call it serves.

#include <QDir>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <string>
#include <sys/vfs.h>
#include <unistd.h>

namespace bench {

inline bool isFuseMount(const std::string& folder)
{
    struct statfs info { };
    return statfs(folder.c_str(), &info) == 0 && info.f_type == 0x65735546;
}

#ifdef ZENTRIO_SLOWFS
// The source folder seen through our slow FUSE pass-through at `mount`,
// unmounted when it goes out of scope.
class SlowMount {
public:
    SlowMount(const std::string& source, const std::string& mount, long delayMicroseconds)
        : m_mount(mount)
    {
        QDir().mkpath(QString::fromStdString(mount));
        m_slowfs.start(ZENTRIO_SLOWFS,
            { QString::fromStdString(source), QString::fromStdString(mount), QString::number(delayMicroseconds) });
        for (int i = 0; i < 100 && !isFuseMount(mount); ++i)
            QThread::msleep(50);
        if (!mounted()) {
            std::printf("\nSlow mount: skipped, FUSE cannot mount here (%s)\n",
                qPrintable(QString::fromLocal8Bit(m_slowfs.readAllStandardError()).trimmed()));
            m_slowfs.kill();
            m_slowfs.waitForFinished();
        }
    }
    ~SlowMount()
    {
        if (!mounted())
            return;
        ::chdir("/"); // a window made the mount its current folder
        QProcess::execute("fusermount3", { "-u", QString::fromStdString(m_mount) });
        m_slowfs.waitForFinished(5000);
    }
    bool mounted() const { return isFuseMount(m_mount); }

private:
    std::string m_mount;
    QProcess m_slowfs;
};
#endif

} // namespace bench
