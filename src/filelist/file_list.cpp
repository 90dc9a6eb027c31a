#include "filelist/file_list.h"

#include "scan/scan_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void write_out(os_file *out, const char *text) {
    uint32_t size = static_cast<uint32_t>(strlen(text));
    uint32_t written;
    if (!os_write(out, text, size, &written)) {
        printf("Error %u: Unable to write to out file.\n", os_last_error());
        os_exit(exit_write_failed);
    }
    if (written < size) {
        printf("Error: Unable to write to out file.\n");
        os_exit(exit_write_short);
    }
}

void write_out_format(os_file *out, const char *format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    write_out(out, text);
}

void write_header(os_file *out) {
    write_out(out, "Filename,Size,Date Modified,Date Created,Attributes\r\n");
}

// The path goes between double quotes, so a double quote inside it is written
// doubled, as every CSV reader expects. Still one request for the whole path.
static void write_quoted_path(os_file *out, const char *path) {
    if (!strchr(path, '"')) {
        write_out(out, path);
        return;
    }
    size_t quotes = 0;
    for (const char *at = path; *at; ++at)
        quotes += *at == '"';
    char *doubled = static_cast<char *>(alloc_or_die(strlen(path) + quotes + 1));
    char *to = doubled;
    for (const char *at = path; *at; ++at) {
        *to++ = *at;
        if (*at == '"')
            *to++ = '"';
    }
    *to = '\0';
    write_out(out, doubled);
    free(doubled);
}

void write_row(os_file *out, const char *path, const char *size, const char *modified,
               const char *created, int attributes) {
    write_out(out, "\"");
    write_quoted_path(out, path);
    write_out(out, "\"");
    write_out(out, ",");
    if (size)
        write_out(out, size);
    write_out(out, ",");
    write_out(out, modified);
    write_out(out, ",");
    write_out(out, created);
    write_out(out, ",");
    write_out_format(out, "%d", attributes);
    write_out(out, "\r\n");
}
