// Everything ostrel asks of the operating system. Exactly one backend is linked:
// platform_win32.cpp (the real Win32 calls) or platform_posix.cpp (the same
// contract on top of POSIX). No other source file knows which one it is.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
typedef wchar_t os_char; // paths stay UTF-16 from the command line to CreateFileW
#else
typedef char os_char; // paths are the argument bytes, unchanged
#endif

// An open file: a HANDLE or a file descriptor, hidden behind a pointer.
typedef struct os_file os_file;

// How a run ends. Each code means one thing; see the README for the table.
enum exit_code {
    exit_success = 0,
    exit_usage = 1,
    exit_cannot_open_input = 2,
    exit_cannot_create_output = 3,
    exit_write_failed = 4,
    exit_write_short = 5,
    exit_input_too_large = 6,
    exit_read_failed = 7,
    exit_read_short = 8,
    exit_bad_index = 9,
    exit_out_of_memory = 10,
};

// The program's arguments, its own name first. On Windows they come from the
// UTF-16 command line and argc/argv are ignored; a failed split ends the run
// with exit_usage. The array lives until the process ends.
os_char **os_arguments(int argc, char **argv, int *count);

// Opens an existing file for reading, sharing it for reading, writing and
// deletion. Null on failure; os_last_error() says why.
os_file *os_open_input(const os_char *path);

// The file's size, the low 32 bits as result and the high 32 bits in *high.
// A failed query returns 0xFFFFFFFF.
uint32_t os_file_size(os_file *file, uint32_t *high);

// Reads size bytes into buffer as one request. False when the request failed;
// otherwise *count_read is the number read, less than size at end of file.
bool os_read(os_file *file, void *buffer, uint32_t size, uint32_t *count_read);

// Creates the file or replaces an existing one, for writing, without sharing:
// a path that names a file this process holds open fails and leaves that file
// untouched. Null on failure; os_last_error() says why.
os_file *os_create_output(const os_char *path);

// Writes size bytes as one request. False when the request failed; otherwise
// *count_written is the number written, less than size when the file is full.
bool os_write(os_file *file, const void *bytes, uint32_t size, uint32_t *count_written);

void os_close(os_file *file);

// Memory for the loaded index. A large block may come straight from the
// system, aligned and backed by huge pages where it has them: page faults on
// a fresh gigabyte cost more than scanning it. Null when none is to be had.
void *os_alloc_text(size_t size);
void os_free_text(void *text, size_t size);

// The system's code for the last failed call, as printed by "Error %u: ".
unsigned os_last_error();

// Prints a path to standard output in the narrow encoding of standard output.
void os_print_path(const os_char *path);

// Flushes standard output and ends the process at once: nothing is unwound,
// no file is closed or removed.
[[noreturn]] void os_exit(exit_code code);
