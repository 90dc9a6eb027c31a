// The platform layer on Windows: the Win32 calls that the contract in
// platform.h describes, and the conversion of paths for standard output.
#include "platform/platform.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <io.h>

// An os_file pointer is the HANDLE itself; the struct is never defined.
static HANDLE win32_handle(os_file *file) {
    return static_cast<HANDLE>(file);
}

static os_file *win32_file(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : static_cast<os_file *>(handle);
}

// Binary mode, so every message ends in LF alone, as on every other system.
// Set before main: the CRT may turn the banner's LF into CR LF as soon as
// printf takes it, and main prints the banner before anything else runs.
static const int win32_stdout_mode = _setmode(_fileno(stdout), _O_BINARY);

os_char **os_arguments(int, char **, int *count) {
    // The narrow argv of the CRT has already lost what the ANSI code page
    // cannot hold; the UTF-16 command line has every path as typed.
    os_char **arguments = CommandLineToArgvW(GetCommandLineW(), count);
    if (!arguments) {
        printf("Error %u: Unable to split the command line.\n", static_cast<unsigned>(GetLastError()));
        os_exit(exit_usage);
    }
    return arguments;
}

os_file *os_open_input(const os_char *path) {
    return win32_file(CreateFileW(path, GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
}

uint32_t os_file_size(os_file *file, uint32_t *high) {
    DWORD size_high = 0;
    DWORD size = GetFileSize(win32_handle(file), &size_high);
    *high = size_high;
    return size;
}

bool os_read(os_file *file, void *buffer, uint32_t size, uint32_t *count_read) {
    DWORD done = 0;
    if (!ReadFile(win32_handle(file), buffer, size, &done, nullptr))
        return false;
    *count_read = done;
    return true;
}

os_file *os_create_output(const os_char *path) {
    // No sharing: the system itself refuses a file that is open as our input.
    return win32_file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool os_write(os_file *file, const void *bytes, uint32_t size, uint32_t *count_written) {
    DWORD done = 0;
    if (!WriteFile(win32_handle(file), bytes, size, &done, nullptr))
        return false;
    *count_written = done;
    return true;
}

void os_close(os_file *file) {
    CloseHandle(win32_handle(file));
}

// Large pages need a privilege that a console tool does not hold: the heap.
void *os_alloc_text(size_t size) {
    return malloc(size);
}

void os_free_text(void *text, size_t) {
    free(text);
}

unsigned os_last_error() {
    return static_cast<unsigned>(GetLastError());
}

// The code page that a byte written to stdout is read in: the console's when
// stdout is one, else UTF-8 like the names from the index on the same stream.
static UINT win32_stdout_code_page() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    if (GetFileType(out) == FILE_TYPE_CHAR && GetConsoleMode(out, &mode))
        return GetConsoleOutputCP();
    return CP_UTF8;
}

// An argument is shorter than the 32767 units of a command line, and no code
// page takes more than 4 bytes for a UTF-16 unit.
static char win32_path_bytes[32768 * 4];

// Converts by hand what printf's "%S" would: the CRT's conversion stops at the
// first character the code page lacks, and the rest of the path is lost.
void os_print_path(const os_char *path) {
    int length = static_cast<int>(wcslen(path));
    if (length == 0)
        return;
    UINT code_page = win32_stdout_code_page();
    int bytes;
    if (code_page == CP_UTF8) {
        // Without WC_ERR_INVALID_CHARS an unpaired surrogate becomes U+FFFD.
        bytes = WideCharToMultiByte(CP_UTF8, 0, path, length, win32_path_bytes,
                                    sizeof win32_path_bytes, nullptr, nullptr);
    } else {
        // '?' rather than a look-alike letter: the name must not seem another.
        bytes = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, path, length,
                                    win32_path_bytes, sizeof win32_path_bytes, "?", nullptr);
        if (bytes == 0) // a code page that takes no flags and no default character
            bytes = WideCharToMultiByte(code_page, 0, path, length, win32_path_bytes,
                                        sizeof win32_path_bytes, nullptr, nullptr);
    }
    fwrite(win32_path_bytes, 1, static_cast<size_t>(bytes), stdout);
}

void os_exit(exit_code code) {
    fflush(stdout);
    ExitProcess(code);
}
