// The platform layer on POSIX systems. It gives open, read and write the
// behaviour that the Windows backend gets from the Win32 calls, so the rest of
// the program sees one contract.
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

struct os_file {
    int fd;
    dev_t device;
    ino_t inode;
    os_file *next_input; // inputs stay listed until closed, for the sharing rule
};

static os_file *open_inputs;

// Linux moves at most about 2 GiB per read or write call; larger requests are
// carried out in pieces of this size.
static const uint32_t posix_max_chunk = 1u << 30;

static os_file *posix_file(int fd, const struct stat &info) {
    os_file *file = static_cast<os_file *>(malloc(sizeof(os_file)));
    if (!file) {
        close(fd);
        errno = ENOMEM;
        return nullptr;
    }
    file->fd = fd;
    file->device = info.st_dev;
    file->inode = info.st_ino;
    file->next_input = nullptr;
    return file;
}

// open() retried when a signal interrupts it, and the file's identity.
// -1 on failure, with errno set.
static int posix_open(const char *path, int flags, struct stat *info) {
    int fd;
    do {
        fd = open(path, flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 && fstat(fd, info) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Closes fd and leaves error in errno for os_last_error().
static os_file *posix_fail(int fd, int error) {
    close(fd);
    errno = error;
    return nullptr;
}

os_char **os_arguments(int argc, char **argv, int *count) {
    *count = argc;
    return argv;
}

os_file *os_open_input(const os_char *path) {
    struct stat info;
    int fd = posix_open(path, O_RDONLY, &info);
    if (fd < 0)
        return nullptr;
    // CreateFileW opens no directory unless asked to.
    if (S_ISDIR(info.st_mode))
        return posix_fail(fd, EISDIR);
    os_file *file = posix_file(fd, info);
    if (file) {
        file->next_input = open_inputs;
        open_inputs = file;
    }
    return file;
}

uint32_t os_file_size(os_file *file, uint32_t *high) {
    struct stat info;
    if (fstat(file->fd, &info) != 0 || info.st_size < 0) {
        *high = 0;
        return 0xFFFFFFFFu;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    *high = static_cast<uint32_t>(size >> 32);
    return static_cast<uint32_t>(size);
}

bool os_read(os_file *file, void *buffer, uint32_t size, uint32_t *count_read) {
    char *at = static_cast<char *>(buffer);
    uint32_t done = 0;
    while (done < size) {
        uint32_t rest = size - done;
        ssize_t got = read(file->fd, at + done, rest < posix_max_chunk ? rest : posix_max_chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            break; // end of file
        done += static_cast<uint32_t>(got);
    }
    *count_read = done;
    return true;
}

os_file *os_create_output(const os_char *path) {
    // Not O_TRUNC: the file must not lose a byte before we know it is not one
    // of our open inputs, whatever path spelling led to it.
    struct stat info;
    int fd = posix_open(path, O_WRONLY | O_CREAT, &info);
    if (fd < 0)
        return nullptr;
    for (os_file *input = open_inputs; input; input = input->next_input)
        if (input->device == info.st_dev && input->inode == info.st_ino)
            return posix_fail(fd, EBUSY); // Windows: a sharing violation
    if (S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0)
        return posix_fail(fd, errno);
    return posix_file(fd, info);
}

bool os_write(os_file *file, const void *bytes, uint32_t size, uint32_t *count_written) {
    const char *at = static_cast<const char *>(bytes);
    uint32_t done = 0;
    // do-while: an empty piece is still one (zero-byte) request.
    do {
        uint32_t rest = size - done;
        uint32_t chunk = rest < posix_max_chunk ? rest : posix_max_chunk;
        ssize_t put = write(file->fd, at + done, chunk);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<uint32_t>(put);
        if (static_cast<uint32_t>(put) < chunk)
            break; // the file took no more: the caller sees a short count
    } while (done < size);
    *count_written = done;
    return true;
}

void os_close(os_file *file) {
    for (os_file **link = &open_inputs; *link; link = &(*link)->next_input)
        if (*link == file) {
            *link = file->next_input;
            break;
        }
    close(file->fd);
    free(file);
}

static const size_t posix_huge_page = size_t(2) << 20;

static size_t posix_round_to_huge_page(size_t size) {
    return (size + posix_huge_page - 1) & ~(posix_huge_page - 1);
}

void *os_alloc_text(size_t size) {
    // Small inputs stay on the heap, where the sanitizers watch every byte.
    if (size < posix_huge_page)
        return malloc(size);
    size_t length = posix_round_to_huge_page(size);
    // Map one huge page more than needed and cut the block out on a huge-page
    // boundary, so that all of it can be backed by huge pages.
    size_t mapped = length + posix_huge_page;
    void *mapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return nullptr;
    char *start = static_cast<char *>(mapping);
    char *text = reinterpret_cast<char *>(posix_round_to_huge_page(reinterpret_cast<size_t>(start)));
    if (text > start)
        munmap(start, text - start);
    if (start + mapped > text + length)
        munmap(text + length, start + mapped - (text + length));
    madvise(text, length, MADV_HUGEPAGE); // only advice: without it, 4 KiB pages
    return text;
}

void os_free_text(void *text, size_t size) {
    if (size < posix_huge_page)
        free(text);
    else
        munmap(text, posix_round_to_huge_page(size));
}

unsigned os_last_error() {
    return static_cast<unsigned>(errno);
}

void os_print_path(const os_char *path) {
    fputs(path, stdout);
}

void os_exit(exit_code code) {
    fflush(stdout);
    _exit(code); // like ExitProcess: no destructors, no leak report, files stay as they are
}
