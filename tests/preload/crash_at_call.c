// An LD_PRELOAD library that makes a program die the way a power cut or a
// kill does, in the middle of its file writes. It counts the calls that
// change files under the folder BRENVALE_CRASH_DIR (write, pwrite, writev,
// fsync, fdatasync, ftruncate, truncate, rename, link, unlink and their *at
// forms) and at the BRENVALE_CRASH_AT-th one kills the process with SIGKILL:
// a write first puts only half of its bytes down, any other call is not
// made. Without BRENVALE_CRASH_AT it only counts; BRENVALE_CRASH_COUNT names
// a file that receives the count at exit. C, because glibc's C++
// declarations of these functions differ from their definitions here.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

static atomic_long g_calls;

static const char* folder(void) {
    return getenv("BRENVALE_CRASH_DIR");
}

static long crashAt(void) {
    const char* text = getenv("BRENVALE_CRASH_AT");
    return text ? atol(text) : 0;
}

static bool under(const char* path) {
    const char* dir = folder();
    if (!dir || !path)
        return false;
    const size_t n = strlen(dir);
    return strncmp(path, dir, n) == 0 && (path[n] == '/' || path[n] == '\0');
}

static bool fdUnder(int fd) {
    if (!folder())
        return false;
    char link[64], target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return under(target);
}

static bool pathUnder(int dirfd, const char* path) {
    if (path && path[0] == '/')
        return under(path);
    if (dirfd == AT_FDCWD) {
        char cwd[PATH_MAX];
        return getcwd(cwd, sizeof cwd) && under(cwd);
    }
    return fdUnder(dirfd);
}

static _Noreturn void die(void) {
    syscall(SYS_kill, getpid(), SIGKILL);
    for (;;)
        pause();
}

// Counts a call that changes a file under the folder; true when it is the
// one to die at.
static bool dueNow(bool counted) {
    return counted && ++g_calls == crashAt();
}

__attribute__((destructor)) static void countAtExit(void) {
    const char* file = getenv("BRENVALE_CRASH_COUNT");
    FILE* out = file ? fopen(file, "w") : NULL;
    if (!out)
        return;
    fprintf(out, "%ld\n", (long)g_calls);
    fclose(out);
}

ssize_t write(int fd, const void* buf, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real)
        real = dlsym(RTLD_NEXT, "write");
    if (dueNow(fdUnder(fd))) {
        real(fd, buf, count / 2);
        die();
    }
    return real(fd, buf, count);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off_t);
    if (!real)
        real = dlsym(RTLD_NEXT, "pwrite64");
    if (dueNow(fdUnder(fd))) {
        real(fd, buf, count / 2, offset);
        die();
    }
    return real(fd, buf, count, offset);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    return pwrite64(fd, buf, count, offset);
}

ssize_t writev(int fd, const struct iovec* iov, int iovcnt) {
    static ssize_t (*real)(int, const struct iovec*, int);
    if (!real)
        real = dlsym(RTLD_NEXT, "writev");
    if (dueNow(fdUnder(fd))) {
        size_t half = 0;
        for (int i = 0; i < iovcnt; ++i)
            half += iov[i].iov_len;
        half /= 2;
        for (int i = 0; i < iovcnt && half > 0; ++i) {
            const size_t part = iov[i].iov_len < half ? iov[i].iov_len : half;
            syscall(SYS_write, fd, iov[i].iov_base, part);
            half -= part;
        }
        die();
    }
    return real(fd, iov, iovcnt);
}

// A call that the program dies just before.
#define DIE_BEFORE(name, params, args, counted)                                                    \
    int name params {                                                                              \
        static int(*real) params;                                                                  \
        if (!real)                                                                                 \
            real = dlsym(RTLD_NEXT, #name);                                                        \
        if (dueNow(counted))                                                                       \
            die();                                                                                 \
        return real args;                                                                          \
    }

DIE_BEFORE(fsync, (int fd), (fd), fdUnder(fd))
DIE_BEFORE(fdatasync, (int fd), (fd), fdUnder(fd))
DIE_BEFORE(ftruncate64, (int fd, off_t length), (fd, length), fdUnder(fd))
DIE_BEFORE(ftruncate, (int fd, off_t length), (fd, length), fdUnder(fd))
DIE_BEFORE(truncate64, (const char* path, off_t length), (path, length), pathUnder(AT_FDCWD, path))
DIE_BEFORE(truncate, (const char* path, off_t length), (path, length), pathUnder(AT_FDCWD, path))
DIE_BEFORE(rename, (const char* from, const char* to), (from, to), pathUnder(AT_FDCWD, to))
DIE_BEFORE(renameat, (int fromDir, const char* from, int toDir, const char* to),
           (fromDir, from, toDir, to), pathUnder(toDir, to))
DIE_BEFORE(renameat2, (int fromDir, const char* from, int toDir, const char* to, unsigned flags),
           (fromDir, from, toDir, to, flags), pathUnder(toDir, to))
DIE_BEFORE(link, (const char* from, const char* to), (from, to), pathUnder(AT_FDCWD, to))
DIE_BEFORE(linkat, (int fromDir, const char* from, int toDir, const char* to, int flags),
           (fromDir, from, toDir, to, flags), pathUnder(toDir, to))
DIE_BEFORE(unlink, (const char* path), (path), pathUnder(AT_FDCWD, path))
DIE_BEFORE(unlinkat, (int dir, const char* path, int flags), (dir, path, flags),
           pathUnder(dir, path))
