/* A pass-through FUSE file system that waits a fixed time on every call it
 * serves, with the kernel's attribute and entry caches off: a stand-in for a
 * network share or a slow USB disk, for the benchmark.
 *
 *   zentrio_slowfs SOURCE MOUNTPOINT [DELAY_MICROSECONDS] [fuse options]
 *
 * DELAY_MICROSECONDS is 500 by default. Unmount with fusermount3 -u. */
#define FUSE_USE_VERSION 35
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static const char* source;
static long delay_us = 500;

static void wait_a_while(void)
{
    struct timespec t = { delay_us / 1000000, (delay_us % 1000000) * 1000 };
    while (nanosleep(&t, &t) != 0 && errno == EINTR) { }
}

static void real_path(char out[PATH_MAX], const char* path) { snprintf(out, PATH_MAX, "%s%s", source, path); }

#define REAL(name, path)    \
    char name[PATH_MAX];    \
    real_path(name, path);  \
    wait_a_while()

static void* slow_init(struct fuse_conn_info* conn, struct fuse_config* cfg)
{
    (void)conn;
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->kernel_cache = 0;
    return NULL;
}

static int slow_getattr(const char* path, struct stat* st, struct fuse_file_info* fi)
{
    wait_a_while();
    if (fi)
        return fstat((int)fi->fh, st) == 0 ? 0 : -errno;
    char p[PATH_MAX];
    real_path(p, path);
    return lstat(p, st) == 0 ? 0 : -errno;
}

static int slow_readdir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset, struct fuse_file_info* fi,
    enum fuse_readdir_flags flags)
{
    (void)offset;
    (void)fi;
    (void)flags;
    REAL(p, path);
    DIR* dir = opendir(p);
    if (!dir)
        return -errno;
    struct dirent* e;
    while ((e = readdir(dir)) != NULL) {
        struct stat st = { 0 };
        st.st_ino = e->d_ino;
        st.st_mode = (mode_t)(e->d_type << 12);
        if (fill(buf, e->d_name, &st, 0, 0))
            break;
    }
    closedir(dir);
    return 0;
}

static int slow_open(const char* path, struct fuse_file_info* fi)
{
    REAL(p, path);
    const int fd = open(p, fi->flags);
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int slow_create(const char* path, mode_t mode, struct fuse_file_info* fi)
{
    REAL(p, path);
    const int fd = open(p, fi->flags, mode);
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int slow_read(const char* path, char* buf, size_t size, off_t offset, struct fuse_file_info* fi)
{
    (void)path;
    wait_a_while();
    const ssize_t n = pread((int)fi->fh, buf, size, offset);
    return n < 0 ? -errno : (int)n;
}

static int slow_write(const char* path, const char* buf, size_t size, off_t offset, struct fuse_file_info* fi)
{
    (void)path;
    wait_a_while();
    const ssize_t n = pwrite((int)fi->fh, buf, size, offset);
    return n < 0 ? -errno : (int)n;
}

static int slow_release(const char* path, struct fuse_file_info* fi)
{
    (void)path;
    wait_a_while();
    close((int)fi->fh);
    return 0;
}

static int slow_fsync(const char* path, int datasync, struct fuse_file_info* fi)
{
    (void)path;
    wait_a_while();
    return (datasync ? fdatasync((int)fi->fh) : fsync((int)fi->fh)) == 0 ? 0 : -errno;
}

static int slow_rename(const char* from, const char* to, unsigned int flags)
{
    REAL(a, from);
    char b[PATH_MAX];
    real_path(b, to);
    return renameat2(AT_FDCWD, a, AT_FDCWD, b, flags) == 0 ? 0 : -errno;
}

static int slow_unlink(const char* path)
{
    REAL(p, path);
    return unlink(p) == 0 ? 0 : -errno;
}

static int slow_chmod(const char* path, mode_t mode, struct fuse_file_info* fi)
{
    wait_a_while();
    if (fi)
        return fchmod((int)fi->fh, mode) == 0 ? 0 : -errno;
    char p[PATH_MAX];
    real_path(p, path);
    return chmod(p, mode) == 0 ? 0 : -errno;
}

static int slow_truncate(const char* path, off_t size, struct fuse_file_info* fi)
{
    wait_a_while();
    if (fi)
        return ftruncate((int)fi->fh, size) == 0 ? 0 : -errno;
    char p[PATH_MAX];
    real_path(p, path);
    return truncate(p, size) == 0 ? 0 : -errno;
}

static int slow_utimens(const char* path, const struct timespec tv[2], struct fuse_file_info* fi)
{
    wait_a_while();
    if (fi)
        return futimens((int)fi->fh, tv) == 0 ? 0 : -errno;
    char p[PATH_MAX];
    real_path(p, path);
    return utimensat(AT_FDCWD, p, tv, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

static int slow_statfs(const char* path, struct statvfs* st)
{
    REAL(p, path);
    return statvfs(p, st) == 0 ? 0 : -errno;
}

static int slow_mkdir(const char* path, mode_t mode)
{
    REAL(p, path);
    return mkdir(p, mode) == 0 ? 0 : -errno;
}

static int slow_rmdir(const char* path)
{
    REAL(p, path);
    return rmdir(p) == 0 ? 0 : -errno;
}

static const struct fuse_operations operations = {
    .getattr = slow_getattr,
    .mkdir = slow_mkdir,
    .unlink = slow_unlink,
    .rmdir = slow_rmdir,
    .rename = slow_rename,
    .chmod = slow_chmod,
    .truncate = slow_truncate,
    .open = slow_open,
    .read = slow_read,
    .write = slow_write,
    .statfs = slow_statfs,
    .release = slow_release,
    .fsync = slow_fsync,
    .readdir = slow_readdir,
    .init = slow_init,
    .create = slow_create,
    .utimens = slow_utimens,
};

int main(int argc, char* argv[])
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s SOURCE MOUNTPOINT [DELAY_MICROSECONDS] [fuse options]\n", argv[0]);
        return 2;
    }
    source = realpath(argv[1], NULL);
    if (!source) {
        perror(argv[1]);
        return 2;
    }
    int next = 3;
    if (argc > 3 && argv[3][0] != '-') {
        delay_us = atol(argv[3]);
        next = 4;
    }
    char* fuse_argv[64];
    int fuse_argc = 0;
    fuse_argv[fuse_argc++] = argv[0];
    fuse_argv[fuse_argc++] = argv[2];
    fuse_argv[fuse_argc++] = "-f";
    fuse_argv[fuse_argc++] = "-o";
    fuse_argv[fuse_argc++] = "max_threads=64";
    for (int i = next; i < argc && fuse_argc < 63; ++i)
        fuse_argv[fuse_argc++] = argv[i];
    fuse_argv[fuse_argc] = NULL;
    return fuse_main(fuse_argc, fuse_argv, &operations, NULL);
}
