#include "platform/fs/durablebatch.h"

#include <fcntl.h>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace zentrio::fs {

namespace {

    // Below this many files, the fsyncs cost less than waiting for the
    // whole file system.
    constexpr std::size_t kSyncfsFrom = 8;
    // A syncfs also writes what every other program left unwritten on the
    // same file system; past this much the fsyncs of a slice cost less.
    constexpr long long kUnwrittenLimit = 64ll << 20;

    constexpr long kExt4 = 0xEF53;
    constexpr long kXfs = 0x58465342;
    constexpr long kBtrfs = 0x9123683E;

    bool journalled(int fd)
    {
        struct statfs fs {};
        if (::fstatfs(fd, &fs) != 0)
            return false;
        const long type = static_cast<long>(fs.f_type);
        return type == kExt4 || type == kXfs || type == kBtrfs;
    }

    bool kernelReportsSyncfsErrors()
    {
        static const bool reports = [] {
            utsname name {};
            if (::uname(&name) != 0)
                return false;
            int major = 0, minor = 0;
            if (std::sscanf(name.release, "%d.%d", &major, &minor) != 2)
                return false;
            return major > 5 || (major == 5 && minor >= 17);
        }();
        return reports;
    }

    // Dirty and Writeback of /proc/meminfo, in bytes; the whole machine's,
    // so a generous measure of what a syncfs may have to wait for.
    long long unwrittenBytes()
    {
        std::ifstream info("/proc/meminfo");
        long long total = 0;
        bool found = false;
        std::string key;
        long long kib = 0;
        std::string unit;
        while (info >> key >> kib) {
            std::getline(info, unit);
            if (key == "Dirty:" || key == "Writeback:") {
                total += kib * 1024;
                found = true;
            }
        }
        return found ? total : kUnwrittenLimit;
    }

    std::vector<bool> fsyncEach(const std::vector<int>& fds)
    {
        std::vector<bool> durable;
        durable.reserve(fds.size());
        for (const int fd : fds)
            durable.push_back(::fsync(fd) == 0);
        return durable;
    }

} // namespace

bool syncsWholeFileSystem(int fd, std::size_t files)
{
    return files >= kSyncfsFrom && journalled(fd) && kernelReportsSyncfsErrors() && unwrittenBytes() < kUnwrittenLimit;
}

void DurableBatch::add(int fd)
{
    // Only starts the write-back. An error here (a block that could not be
    // allocated, its pages dropped) is told to this call alone, so the file
    // is taken as not durable whatever the commit's sync says later.
    m_fds.push_back(fd);
    m_failed.push_back(::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE) != 0);
}

std::vector<bool> DurableBatch::commit()
{
    std::map<dev_t, std::vector<std::size_t>> byDevice;
    for (std::size_t i = 0; i < m_fds.size(); ++i) {
        struct stat st {};
        byDevice[::fstat(m_fds[i], &st) == 0 ? st.st_dev : dev_t(-1)].push_back(i);
    }
    std::vector<bool> durable(m_fds.size(), false);
    for (const auto& [device, members] : byDevice) {
        std::vector<int> fds;
        for (const std::size_t i : members)
            fds.push_back(m_fds[i]);
        // A syncfs that fails says only that some file of the file system
        // was not written; each file's fsync then tells which.
        // The fdatasync after it makes the disk flush its cache: a syncfs
        // whose journal had nothing left to commit (xfs, ext2) sends no flush.
        const bool whole = device != dev_t(-1) && syncsWholeFileSystem(fds.front(), fds.size())
            && ::syncfs(fds.front()) == 0 && ::fdatasync(fds.front()) == 0;
        const std::vector<bool> each = whole ? std::vector<bool>(fds.size(), true) : fsyncEach(fds);
        for (std::size_t k = 0; k < members.size(); ++k)
            durable[members[k]] = each[k] && !m_failed[members[k]];
    }
    m_fds.clear();
    m_failed.clear();
    return durable;
}

} // namespace zentrio::fs
