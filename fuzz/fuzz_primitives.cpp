// libFuzzer target: the text primitives against plain references.
//
// The input is split at NUL bytes into text, needle and name (missing parts
// are empty; the needle keeps at most 17 bytes). Each part gets a block of
// exactly its length plus the NUL, so a read past the end is caught. Any
// difference from the reference aborts.
#include "scan/scan_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const size_t max_needle = 17;

// Nothing here may end the run: parts this small never reach path_join's
// 256 MiB budget, and ASan aborts on a real lack of memory.
extern "C" [[noreturn]] void __wrap__exit(int code) {
    fprintf(stderr, "fuzz_primitives: _exit(%d)\n", code);
    abort();
}

static char *copy_text(const char *bytes, size_t length) {
    char *text = static_cast<char *>(malloc(length + 1));
    memcpy(text, bytes, length);
    text[length] = '\0';
    return text;
}

// The next part of the input from *at up to a NUL or the end; *at moves past
// that NUL.
static char *next_part(const char **at, const char *end, size_t max_length) {
    const char *start = *at;
    const char *stop = static_cast<const char *>(memchr(start, '\0', end - start));
    if (!stop)
        stop = end;
    *at = stop < end ? stop + 1 : end;
    size_t length = stop - start;
    return copy_text(start, length < max_length ? length : max_length);
}

static void mismatch(const char *what, const char *text, const char *needle) {
    fprintf(stderr, "fuzz_primitives: %s differs for text \"%s\", needle/name \"%s\"\n",
            what, text, needle);
    abort();
}

// Every start position in order; the empty text has none.
static char *reference_find(char *text, const char *needle) {
    for (char *start = text; *start; ++start) {
        size_t i = 0;
        while (needle[i] && start[i] == needle[i])
            ++i;
        if (!needle[i])
            return start;
    }
    return nullptr;
}

static char *reference_match_tag(char *tag, const char *name) {
    size_t length = strlen(name);
    if (strncmp(tag, name, length) != 0)
        return nullptr;
    if (tag[length] == '\0')
        return tag + length;
    if (tag[length] == ' ')
        return tag + length + 1;
    return nullptr;
}

// Into a separate buffer: no decoded byte can be read again.
static void reference_decode(const char *from, char *to) {
    while (*from) {
        if (strncmp(from, "&lt;", 4) == 0) {
            *to++ = '<';
            from += 4;
        } else if (strncmp(from, "&gt;", 4) == 0) {
            *to++ = '>';
            from += 4;
        } else if (strncmp(from, "&amp;", 5) == 0) {
            *to++ = '&';
            from += 5;
        } else {
            *to++ = *from++;
        }
    }
    *to = '\0';
}

static void check_path_join(const char *parent, const char *name) {
    size_t parent_length = strlen(parent);
    size_t name_length = strlen(name);
    char *joined = path_join(parent, name);
    char *expected = static_cast<char *>(malloc(parent_length + name_length + 2));
    char *at = expected;
    if (parent_length) {
        memcpy(at, parent, parent_length);
        at += parent_length;
        *at++ = '\\';
    }
    memcpy(at, name, name_length + 1);
    if (strcmp(joined, expected) != 0)
        mismatch("path_join", parent, name);
    free(expected);
    path_release(joined);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *at = reinterpret_cast<const char *>(data);
    const char *end = at + size;
    char *text = next_part(&at, end, SIZE_MAX);
    char *needle = next_part(&at, end, max_needle);
    char *name = next_part(&at, end, SIZE_MAX);
    size_t length = strlen(text);
    char *decoded = copy_text(text, length);
    char *expected = static_cast<char *>(malloc(length + 1));

    if (find_text(text, needle) != reference_find(text, needle))
        mismatch("find_text", text, needle);
    if (match_tag(text, needle) != reference_match_tag(text, needle))
        mismatch("match_tag", text, needle);

    decode_entities(decoded);
    reference_decode(text, expected);
    if (strcmp(decoded, expected) != 0)
        mismatch("decode_entities", text, "");
    free(expected);
    free(decoded);

    check_path_join(text, name);

    free(name);
    free(needle);
    free(text);
    return 0;
}
