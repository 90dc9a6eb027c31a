// The only way anything reaches the output file, and the OXL file list format:
// CR LF lines, the header, then one row per directory and per file:
//   "<path>",<size>,<modified>,<created>,<attributes>
// Nothing is buffered: every write_out is one write request, so each piece of
// a row is in the file when its call returns.
#pragma once

#include "platform/platform.h"

// Attribute bits of a row.
const int attribute_read_only = 1;
const int attribute_directory = 16;

// Writes text without its NUL as one request, or ends the run: exit code 4
// when the request fails, 5 when it writes fewer bytes than asked.
void write_out(os_file *out, const char *text);

// printf-formats into a 1024-byte buffer and passes the result to write_out.
void write_out_format(os_file *out, const char *format, ...);

void write_header(os_file *out);

// size is null for a directory row, whose size field is always empty and is
// written without a request of its own.
void write_row(os_file *out, const char *path, const char *size, const char *modified,
               const char *created, int attributes);
