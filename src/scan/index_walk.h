// The index walk: turns the loaded text of an LTFS index into the rows of the
// file list in one pass from left to right.
//
// The walk writes into the text as it reads it: a NUL over the '>' that ends
// each tag and over the '<' that ends each value, and decoded values over
// their encoded form. Tag and value pointers stay valid as long as the text.
#pragma once

#include "platform/platform.h"

// Directories nest at most this deep (the top directory is level 1). Deeper
// nesting ends the run with exit code 9 before the stack or the paths grow.
const int max_directory_depth = 1000;

// Writes the header, checks the XML declaration and walks the document.
// May end the run with exit codes 4, 5, 9 or 10.
void convert_index(os_file *out, char *text);

// Reads the body of one directory element (depth 0: the document itself) up to
// and including its closing tag. Returns where it stopped, or null when the
// text ended inside an element that needed more of it.
char *scan_directory(os_file *out, char *cursor, const char *parent_path, int depth);

// Reads the body of one file element up to and including </file> and writes
// its row if it had a name. Returns where it stopped, or null when no further
// '<' was found.
char *scan_file(os_file *out, char *cursor, const char *directory_path);
