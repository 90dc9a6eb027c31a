// write_floor: the least a converter that writes each piece of a row with its
// own request does: exactly ostrel's write requests, same sizes, same order,
// to the same kind of file, with nothing computed in between.
//   write_floor SIZES OUT
// SIZES holds one little-endian uint32 per request (write_sizes.py makes it);
// zero-byte requests are made too. Prints the requests and bytes written.
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static bool read_all(int fd, char *buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t got = read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: write_floor SIZES OUT\n");
        return 2;
    }
    int sizes_fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (sizes_fd < 0 || fstat(sizes_fd, &info) != 0) {
        perror("write_floor: sizes");
        return 1;
    }
    size_t count = static_cast<size_t>(info.st_size) / 4;
    uint32_t *sizes = static_cast<uint32_t *>(malloc(count * 4 + 4));
    if (!sizes || !read_all(sizes_fd, reinterpret_cast<char *>(sizes), count * 4)) {
        fprintf(stderr, "write_floor: cannot load %s\n", argv[1]);
        return 1;
    }
    close(sizes_fd);
    uint32_t largest = 0;
    for (size_t i = 0; i < count; ++i)
        largest = sizes[i] > largest ? sizes[i] : largest;
    char *bytes = static_cast<char *>(malloc(largest + 1));
    if (!bytes)
        return 1;
    memset(bytes, 'x', largest + 1);

    // Opened as ostrel opens its list: created, checked, then truncated.
    int fd = open(argv[2], O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 || fstat(fd, &info) != 0 || (S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0)) {
        perror("write_floor: out");
        return 1;
    }
    uint64_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        ssize_t put = write(fd, bytes, sizes[i]);
        if (put < 0 && errno == EINTR) {
            --i;
            continue;
        }
        if (put != static_cast<ssize_t>(sizes[i])) {
            perror("write_floor: write");
            return 1;
        }
        total += sizes[i];
    }
    close(fd);
    printf("%zu requests, %" PRIu64 " bytes\n", count, total);
    return 0;
}
