// SPDX-License-Identifier: MIT
// The floor of vextra-cli's work on a batch of programs: for each program, the file work its status
// or its enable needs and nothing more, one line of output per program. make bench times both on
// the same folder.
//
//   files_floor status PROGRAM...
//       opens the program and reads its first 4 KiB, looks at PROGRAM.manifest (lstat)
//   files_floor enable MANIFEST PROGRAM...
//       the same, then writes MANIFEST's content to a new file in the program's folder (unnamed
//       until it is whole), fsyncs it and links it at PROGRAM.manifest, sets user.DOSATTRIB to
//       0x6, takes every write bit away and sets the program's last-write time to now
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

static int fail(const char* what, const char* path) {
    fprintf(stderr, "files_floor: %s: ", path);
    perror(what);
    return 1;
}

static int look(const char* program, const char* manifest) {
    char head[4096];
    const int fd = open(program, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail("open", program);
    const ssize_t got = read(fd, head, sizeof head);
    close(fd);
    if (got < 2 || head[0] != 'M' || head[1] != 'Z') return fail("read", program);
    struct stat st;
    return lstat(manifest, &st) == 0 || errno == ENOENT ? 0 : fail("lstat", manifest);
}

static int write_manifest(const char* program, const char* manifest, const char* text, size_t size) {
    char folder[PATH_MAX];
    snprintf(folder, sizeof folder, "%s", program);
    const int fd = open(dirname(folder), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return fail("open", folder);
    char by_proc[64];
    snprintf(by_proc, sizeof by_proc, "/proc/self/fd/%d", fd);
    const int failed = write(fd, text, size) != (ssize_t)size || fsync(fd) != 0 ||
                       linkat(AT_FDCWD, by_proc, AT_FDCWD, manifest, AT_SYMLINK_FOLLOW) != 0;
    close(fd);
    if (failed) return fail("write", manifest);
    if (lsetxattr(manifest, "user.DOSATTRIB", "0x6", 3, 0) != 0) return fail("lsetxattr", manifest);
    if (chmod(manifest, 0444) != 0) return fail("chmod", manifest);
    const struct timespec now[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    return utimensat(AT_FDCWD, program, now, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : fail("utimensat", program);
}

int main(int argc, char** argv) {
    const int enable = argc > 2 && strcmp(argv[1], "enable") == 0;
    if (argc < 3 || (!enable && strcmp(argv[1], "status") != 0)) {
        fprintf(stderr, "usage: files_floor status PROGRAM... | files_floor enable MANIFEST PROGRAM...\n");
        return 2;
    }
    static char text[65536];
    size_t size = 0;
    if (enable) {
        FILE* source = fopen(argv[2], "rb");
        if (!source) return fail("fopen", argv[2]);
        size = fread(text, 1, sizeof text, source);
        fclose(source);
    }
    for (int i = enable ? 3 : 2; i < argc; ++i) {
        char manifest[PATH_MAX];
        snprintf(manifest, sizeof manifest, "%s.manifest", argv[i]);
        if (look(argv[i], manifest) || (enable && write_manifest(argv[i], manifest, text, size))) return 1;
        if (printf("%s: %s\n", argv[i], enable ? "Yes" : "No") < 0) return fail("printf", "standard output");
    }
    return fflush(stdout) == 0 ? 0 : fail("fflush", "standard output");
}
