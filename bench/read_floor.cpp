// read_floor: the least any converter does with an index: load it the way
// ostrel loads it and look at every '<' once, with memchr. Its time is the
// floor for ostrel's reading and scanning.
//   read_floor [--huge] FILE
// Without --huge the text comes from malloc, as ostrel had it at first; with
// --huge as ostrel has it now, from a mapping advised for huge pages. Both
// are measured: page faults on a fresh gigabyte cost more than scanning it.
// Prints the number of '<'.
#include "platform/platform.h"

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Where the text goes. --huge takes ostrel's own allocation, os_alloc_text
// of the POSIX platform layer, so the floor follows ostrel when it changes.
static char *alloc_text(size_t size, bool huge) {
    return static_cast<char *>(huge ? os_alloc_text(size) : malloc(size));
}

static void release_text(char *text, size_t size, bool huge) {
    if (huge)
        os_free_text(text, size);
    else
        free(text);
}

int main(int argc, char **argv) {
    bool huge = argc == 3 && strcmp(argv[1], "--huge") == 0;
    if (argc != 2 + huge) {
        fprintf(stderr, "usage: read_floor [--huge] FILE\n");
        return 2;
    }
    int fd = open(argv[argc - 1], O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        perror("read_floor");
        return 1;
    }
    size_t size = static_cast<size_t>(info.st_size);
    char *text = alloc_text(size + 1, huge);
    if (!text) {
        fprintf(stderr, "read_floor: cannot allocate %zu bytes\n", size + 1);
        return 1;
    }
    // The same loop as ostrel's: requests of at most 1 GiB until the end.
    size_t done = 0;
    while (done < size) {
        size_t rest = size - done;
        ssize_t got = read(fd, text + done, rest < (size_t(1) << 30) ? rest : size_t(1) << 30);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            perror("read_floor: read");
            return 1;
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    text[done] = '\0';

    uint64_t count = 0;
    const char *end = text + done;
    for (const char *at = text; (at = static_cast<const char *>(memchr(at, '<', end - at)));
         ++at)
        ++count;
    printf("%" PRIu64 "\n", count);

    release_text(text, size + 1, huge);
    close(fd);
    return 0;
}
