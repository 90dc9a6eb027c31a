// libFuzzer target: the text primitives against plain references.
//
// The input is split at NUL bytes into text, needle and name (missing parts
// are empty; the needle keeps at most 17 bytes). Each part gets a block of
// exactly its length plus the NUL, so a read past the end is caught. Any
// difference from the reference aborts.
#include "platform/platform.h"
#include "scan/scan_text.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const size_t max_needle = 17;

extern "C" [[noreturn]] void __real__exit(int code);

// path_join ends the run with code 10 when malloc fails, which other jobs on
// the machine can cause for a moment; that jumps back to try_path_join. No
// other exit may happen.
static jmp_buf out_of_memory;
static bool in_path_join;

extern "C" [[noreturn]] void __wrap__exit(int code) {
    if (!in_path_join)
        __real__exit(code);
    in_path_join = false;
    if (code != exit_out_of_memory) {
        fprintf(stderr, "fuzz_primitives: path_join ended the run with code %d\n", code);
        abort();
    }
    longjmp(out_of_memory, 1);
}

// Null when memory is short for a moment; the input is then skipped.
static char *copy_text(const char *bytes, size_t length) {
    char *text = static_cast<char *>(malloc(length + 1));
    if (!text)
        return nullptr;
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

// Joins with path_join, or gives null when it ends the run with code 10.
static char *try_path_join(const char *parent, const char *name) {
    in_path_join = true;
    if (setjmp(out_of_memory) != 0)
        return nullptr;
    char *joined = path_join(parent, name);
    in_path_join = false;
    return joined;
}

static void check_path_join(const char *parent, const char *name) {
    size_t parent_length = strlen(parent);
    size_t name_length = strlen(name);
    char *expected = static_cast<char *>(malloc(parent_length + name_length + 2));
    if (!expected)
        return;
    // Parts this small never reach the 256 MiB path budget: code 10 means
    // malloc failed. A moment's shortage passes; code 10 twice is a finding
    // (say, a budget that counts wrong).
    char *joined = try_path_join(parent, name);
    if (!joined)
        joined = try_path_join(parent, name);
    if (!joined)
        mismatch("path_join ends the run with code 10", parent, name);
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
    size_t length = text ? strlen(text) : 0;
    char *decoded = text ? copy_text(text, length) : nullptr;
    char *expected = static_cast<char *>(malloc(length + 1));
    if (!text || !needle || !name || !decoded || !expected) {
        free(expected);
        free(decoded);
        free(name);
        free(needle);
        free(text);
        return 0;
    }

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
