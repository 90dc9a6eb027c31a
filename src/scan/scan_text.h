// Text scanning primitives. Every text is a NUL-terminated byte string, in
// practice a position inside the loaded index; a position is a pointer into
// such a string and "no position" is the null pointer. All comparisons are
// byte by byte and case-sensitive; nothing here knows about UTF-8.
#pragma once

#include <cstddef>

// The position just after prefix if text starts with it, else null.
// An empty prefix gives text itself.
char *match_prefix(char *text, const char *prefix);

// As match_prefix, but a mismatch gives text unchanged.
char *skip_prefix(char *text, const char *prefix);

// As match_prefix, but a mismatch prints "Error: Expected <prefix> got <first
// line of text>" and ends the run with exit code 9.
char *expect_prefix(char *text, const char *prefix);

// Where the first occurrence of needle starts, else null. An empty text has no
// occurrence of anything, not even of the empty needle.
char *find_text(char *text, const char *needle);

// As find_text, but not finding needle prints "Error: Unable to find <needle>"
// and ends the run with exit code 9.
char *find_or_die(char *text, const char *needle);

// Non-null when tag names the element: tag is exactly name, or name followed
// by a space and anything (attributes). name/ or name<tab> do not match.
char *match_tag(char *tag, const char *name);

// Decodes &lt; &gt; &amp; in place, left to right; nothing else is decoded and
// no decoded byte is read again (&amp;lt; becomes &lt;).
void decode_entities(char *text);

// A new heap string "parent\name", or just "name" when parent is empty, which
// the caller releases with path_release. Ends the run with exit code 10 when
// memory runs out or when the paths alive at once would pass 256 MiB.
char *path_join(const char *parent, const char *name);

// Releases a path from path_join; null is allowed.
void path_release(char *path);

// size bytes from the heap, released with free(); ends the run with exit
// code 10 when the heap cannot give them.
void *alloc_or_die(size_t size);

// As alloc_or_die, for the loaded index: released with os_free_text.
char *alloc_text_or_die(size_t size);
