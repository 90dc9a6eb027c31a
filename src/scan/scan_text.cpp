#include "scan/scan_text.h"

#include "platform/platform.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

char *match_prefix(char *text, const char *prefix) {
    while (*prefix) {
        if (*text != *prefix) // also stops at the end of text
            return nullptr;
        ++text;
        ++prefix;
    }
    return text;
}

char *skip_prefix(char *text, const char *prefix) {
    char *after = match_prefix(text, prefix);
    return after ? after : text;
}

char *expect_prefix(char *text, const char *prefix) {
    char *after = match_prefix(text, prefix);
    if (after)
        return after;
    // Show the first line of what stood there instead, at most 255 bytes.
    char excerpt[256];
    size_t length = 0;
    while (length < sizeof excerpt - 1) {
        char c = text[length];
        if (c == '\0' || c == '\n' || (c == '\r' && text[length + 1] == '\n'))
            break;
        excerpt[length++] = c;
    }
    excerpt[length] = '\0';
    printf("Error: Expected %s got %s\n", prefix, excerpt);
    os_exit(exit_bad_index);
}

char *find_text(char *text, const char *needle) {
    if (*text == '\0')
        return nullptr;
    // Single bytes are the searches the walk makes for every tag and value;
    // strchr gives the same answer as a plain scan that stops at the NUL.
    if (needle[0] != '\0' && needle[1] == '\0')
        return strchr(text, needle[0]);
    return strstr(text, needle);
}

char *find_or_die(char *text, const char *needle) {
    char *found = find_text(text, needle);
    if (found)
        return found;
    printf("Error: Unable to find %s\n", needle);
    os_exit(exit_bad_index);
}

char *match_tag(char *tag, const char *name) {
    char *after = match_prefix(tag, name);
    if (!after)
        return nullptr;
    if (*after == '\0')
        return after;
    if (*after == ' ')
        return after + 1;
    return nullptr;
}

void decode_entities(char *text) {
    char *read = strchr(text, '&');
    if (!read)
        return; // most values hold no entity: nothing to move
    char *write = read;
    while (*read) {
        char *after;
        if ((after = match_prefix(read, "&lt;"))) {
            *write++ = '<';
        } else if ((after = match_prefix(read, "&gt;"))) {
            *write++ = '>';
        } else if ((after = match_prefix(read, "&amp;"))) {
            *write++ = '&';
        } else {
            *write++ = *read;
            after = read + 1;
        }
        read = after;
    }
    *write = '\0';
}

// Joined paths may hold at most this many bytes at a time. Real paths are a
// few KiB even 1000 levels deep; without a bound, an index with a huge name
// near the top of a deep tree would copy that name once per level, past any
// memory the machine has.
static const size_t path_budget = size_t(256) << 20;
static size_t path_bytes_live;

[[noreturn]] static void out_of_memory(size_t size) {
    printf("Error: Unable to alloc %" PRId64 "\n", static_cast<int64_t>(size));
    os_exit(exit_out_of_memory);
}

char *path_join(const char *parent, const char *name) {
    size_t parent_length = strlen(parent);
    size_t name_length = strlen(name);
    size_t size = parent_length + name_length + 2;
    if (size > path_budget - path_bytes_live)
        out_of_memory(size);
    char *path = static_cast<char *>(alloc_or_die(size));
    char *at = path;
    if (parent_length) {
        memcpy(at, parent, parent_length);
        at += parent_length;
        *at++ = '\\';
    }
    memcpy(at, name, name_length + 1);
    path_bytes_live += at - path + name_length + 1;
    return path;
}

void path_release(char *path) {
    if (!path)
        return;
    path_bytes_live -= strlen(path) + 1;
    free(path);
}

void *alloc_or_die(size_t size) {
    void *block = malloc(size);
    if (!block)
        out_of_memory(size);
    return block;
}

char *alloc_text_or_die(size_t size) {
    void *text = os_alloc_text(size);
    if (!text)
        out_of_memory(size);
    return static_cast<char *>(text);
}
