#include "durable.h"

#include "benchsupport.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace bench {

namespace {

    int openForSync(const std::string& path)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "cannot open %s to sync it\n", path.c_str());
            std::abort();
        }
        return fd;
    }

} // namespace

namespace {

    // Opens the path, syncs it by `sync` and closes it; a failed sync ends the bench.
    void syncOpened(const std::string& path, int (*sync)(int), const char* name)
    {
        const int fd = openForSync(path);
        if (sync(fd) != 0) {
            std::fprintf(stderr, "%s failed on %s\n", name, path.c_str());
            std::abort();
        }
        ::close(fd);
    }

} // namespace

void syncFileSystemOf(const std::string& path) { syncOpened(path, ::syncfs, "syncfs"); }

void syncPath(const std::string& path) { syncOpened(path, ::fsync, "fsync"); }

void syncEach(const std::vector<std::string>& paths, int threads)
{
    parallelFor(paths.size(), threads, [&](std::size_t i) { syncPath(paths[i]); });
}

double loadAverage()
{
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

} // namespace bench
