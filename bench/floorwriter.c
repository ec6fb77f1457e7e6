/*
 * The floor of the rescue's write speed: writes a given tree of files again,
 * byte for byte, the way the rescue writes its outputs (each file to a new
 * temporary file beside it, opened with O_EXCL, then renamed into place; no
 * fsync), and nothing else. All contents are read into memory first; only
 * the writing is timed.
 *
 * Usage: floorwriter SOURCE-TREE NEW-FOLDER
 *   SOURCE-TREE  a tree the rescue wrote (folders and regular files; links
 *                and other entries are refused)
 *   NEW-FOLDER   must not exist; created with the tree's folders in it
 *
 * Prints one line: "files N folders N bytes N seconds S", S being the wall
 * time from creating NEW-FOLDER to the last rename.
 */
#define _XOPEN_SOURCE 700
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

struct entry {
    char *path; /* relative to the tree, without a leading '/' */
    int folder;
    char *bytes;
    size_t size;
};

static struct entry *entries;
static size_t count, capacity;
static size_t rootLength;

static void *checked(void *pointer)
{
    if (!pointer) {
        fprintf(stderr, "floorwriter: out of memory\n");
        exit(1);
    }
    return pointer;
}

static int readAll(const char *path, size_t size, char **bytes)
{
    *bytes = checked(malloc(size ? size : 1));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, *bytes + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO; /* shorter than its size: changed while read */
            close(fd);
            return -1;
        }
        done += (size_t)got;
    }
    return close(fd);
}

static int collect(const char *path, const struct stat *status, int type, struct FTW *where)
{
    (void)where;
    if (strlen(path) == rootLength)
        return 0; /* the tree's own folder */
    if (type != FTW_F && type != FTW_D) {
        fprintf(stderr, "floorwriter: %s: neither a folder nor a readable file\n", path);
        return 1;
    }
    if (type == FTW_F && !S_ISREG(status->st_mode)) {
        fprintf(stderr, "floorwriter: %s: not a regular file\n", path);
        return 1;
    }
    if (count == capacity) {
        capacity = capacity ? 2 * capacity : 1024;
        entries = checked(realloc(entries, capacity * sizeof *entries));
    }
    struct entry *e = &entries[count++];
    e->path = checked(strdup(path + rootLength + 1));
    e->folder = type == FTW_D;
    e->bytes = NULL;
    e->size = 0;
    if (!e->folder) {
        e->size = (size_t)status->st_size;
        if (readAll(path, e->size, &e->bytes) != 0) {
            fprintf(stderr, "floorwriter: cannot read %s: %s\n", path, strerror(errno));
            return 1;
        }
    }
    return 0;
}

static int writeAll(int fd, const char *bytes, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return -1;
        bytes += written;
        size -= (size_t)written;
    }
    return 0;
}

static double seconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

int main(int argc, char *argv[])
{
    if (argc != 3) {
        fprintf(stderr, "usage: floorwriter SOURCE-TREE NEW-FOLDER\n");
        return 2;
    }
    char *root = argv[1];
    rootLength = strlen(root);
    while (rootLength > 1 && root[rootLength - 1] == '/')
        root[--rootLength] = '\0';
    /* Folders before their contents (pre-order); links are not followed. */
    const int walked = nftw(root, collect, 64, FTW_PHYS);
    if (walked != 0) {
        if (walked < 0)
            fprintf(stderr, "floorwriter: cannot read the tree %s: %s\n", root, strerror(errno));
        return 1;
    }

    const char *target = argv[2];
    const size_t targetLength = strlen(target);
    size_t longest = 0;
    for (size_t i = 0; i < count; ++i)
        if (strlen(entries[i].path) > longest)
            longest = strlen(entries[i].path);
    /* target '/' path, or target '/' folder '/' ".floor-" pid '-' counter */
    char *path = checked(malloc(targetLength + longest + 64));
    char *temporary = checked(malloc(targetLength + longest + 64));
    const long process = (long)getpid();
    unsigned long files = 0, folders = 0, serial = 0;
    unsigned long long bytes = 0;

    const double start = seconds();
    if (mkdir(target, 0777) != 0) {
        fprintf(stderr, "floorwriter: cannot create %s: %s\n", target, strerror(errno));
        return 1;
    }
    for (size_t i = 0; i < count; ++i) {
        const struct entry *e = &entries[i];
        sprintf(path, "%s/%s", target, e->path);
        if (e->folder) {
            if (mkdir(path, 0777) != 0) {
                fprintf(stderr, "floorwriter: cannot create %s: %s\n", path, strerror(errno));
                return 1;
            }
            ++folders;
            continue;
        }
        const char *slash = strrchr(path, '/');
        const int folderLength = (int)(slash - path);
        sprintf(temporary, "%.*s/.floor-%ld-%lu", folderLength, path, process, ++serial);
        const int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 || writeAll(fd, e->bytes, e->size) != 0 || close(fd) != 0
            || rename(temporary, path) != 0) {
            fprintf(stderr, "floorwriter: cannot write %s: %s\n", path, strerror(errno));
            return 1;
        }
        ++files;
        bytes += e->size;
    }
    const double took = seconds() - start;

    printf("files %lu folders %lu bytes %llu seconds %.6f\n", files, folders, bytes, took);
    return 0;
}
