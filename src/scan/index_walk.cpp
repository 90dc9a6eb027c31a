#include "scan/index_walk.h"

#include "filelist/file_list.h"
#include "scan/scan_text.h"

#include <cstdio>

// What an absent element leaves in its field.
static const char empty_text[] = "";

// The fields that directories and files both take from their elements.
struct entry_fields {
    const char *modified;
    const char *created;
    int attributes;
};

// The next tag: the text between the next '<' and the '>' after it, made a
// string by a NUL over the '>'. The cursor moves to the byte after the '>',
// the tag's body; when no '<' is left, the result and the cursor are null.
// A tag that ends in '/' is an empty element (<contents/>, <name />): the '/'
// is cut off and *empty_element set, so that nothing after it is taken for
// its value or content.
static char *next_tag(char **cursor, bool *empty_element) {
    char *open = find_text(*cursor, "<");
    if (!open) {
        *cursor = nullptr;
        return nullptr;
    }
    char *tag = open + 1;
    char *close = find_or_die(tag, ">");
    *close = '\0'; // <tag|>
    *cursor = close + 1;
    *empty_element = close > tag && close[-1] == '/';
    if (*empty_element)
        close[-1] = '\0'; // <tag|/>
    return tag;
}

// The element's value: the text from the cursor (the tag's body) up to the
// next '<', decoded in place. The cursor moves past that '<', in a
// well-formed index onto the '/' of the closing tag, which the next tag step
// passes over as text.
static char *read_value(char **cursor) {
    char *value = *cursor;
    char *end = find_or_die(value, "<");
    *end = '\0'; // <name>value|/name>
    decode_entities(value);
    *cursor = end + 1;
    return value;
}

// The tags the walk acts on; every other tag is skipped.
enum tag_kind {
    tag_other,
    tag_name,
    tag_readonly,
    tag_length,
    tag_creationtime,
    tag_modifytime,
    tag_directory,
    tag_contents,
    tag_file,
    tag_file_end,
    tag_directory_end,
};

// Which of the walk's tags this is. Most tags of an index (extents, extended
// attributes, the other times) are none of them, so the first byte picks the
// one or two names worth comparing.
static tag_kind classify_tag(char *tag) {
    switch (tag[0]) {
    case 'n':
        return match_tag(tag, "name") ? tag_name : tag_other;
    case 'r':
        return match_tag(tag, "readonly") ? tag_readonly : tag_other;
    case 'l':
        return match_tag(tag, "length") ? tag_length : tag_other;
    case 'm':
        return match_tag(tag, "modifytime") ? tag_modifytime : tag_other;
    case 'c':
        if (match_tag(tag, "creationtime"))
            return tag_creationtime;
        return match_tag(tag, "contents") ? tag_contents : tag_other;
    case 'd':
        return match_tag(tag, "directory") ? tag_directory : tag_other;
    case 'f':
        return match_tag(tag, "file") ? tag_file : tag_other;
    case '/':
        if (match_tag(tag, "/file"))
            return tag_file_end;
        return match_tag(tag, "/directory") ? tag_directory_end : tag_other;
    default:
        return tag_other;
    }
}

// Takes a readonly, creationtime or modifytime element into fields; any
// other tag is skipped.
static void read_entry_field(tag_kind kind, char **cursor, entry_fields *fields) {
    if (kind == tag_readonly) {
        if (match_prefix(read_value(cursor), "true"))
            fields->attributes |= attribute_read_only;
    } else if (kind == tag_creationtime) {
        fields->created = read_value(cursor);
    } else if (kind == tag_modifytime) {
        fields->modified = read_value(cursor);
    }
}

char *scan_file(os_file *out, char *cursor, const char *directory_path) {
    if (*cursor == '\0')
        return cursor;
    const char *name = nullptr;
    const char *size = empty_text;
    entry_fields fields = {empty_text, empty_text, 0};
    for (;;) {
        bool empty_element;
        char *tag = next_tag(&cursor, &empty_element);
        if (!tag)
            break;
        // Anything else (extentinfo, symlink, xattrs, their closing tags, and
        // even the tags of entries that follow an unclosed file) is skipped.
        tag_kind kind = empty_element ? tag_other : classify_tag(tag);
        if (kind == tag_file_end)
            break;
        if (kind == tag_name)
            name = read_value(&cursor);
        else if (kind == tag_length)
            size = read_value(&cursor);
        else
            read_entry_field(kind, &cursor, &fields);
        if (*cursor == '\0')
            break;
    }
    // A file cut off by the end of the text still gets its row.
    if (name) {
        char *path = path_join(directory_path, name);
        write_row(out, path, size, fields.modified, fields.created, fields.attributes);
        path_release(path);
    }
    return cursor;
}

char *scan_directory(os_file *out, char *cursor, const char *parent_path, int depth) {
    if (*parent_path)
        printf("DIRECTORY %s\n", parent_path);
    char *own_path = nullptr; // set once a name is read; until then the parent's
    entry_fields fields = {empty_text, empty_text, attribute_directory};
    if (*cursor == '\0')
        return cursor;
    for (;;) {
        bool empty_element;
        char *tag = next_tag(&cursor, &empty_element);
        if (!tag)
            break;
        tag_kind kind = classify_tag(tag);
        // Of the empty elements, only <contents/> counts: an empty directory
        // still gets its row. <name/>, <directory />... hold nothing to read.
        if (empty_element && kind != tag_contents)
            kind = tag_other;
        if (kind == tag_directory_end)
            break;
        const char *path = own_path ? own_path : parent_path;
        if (kind == tag_contents) {
            if (own_path)
                write_row(out, own_path, nullptr, fields.modified, fields.created,
                          fields.attributes);
            else
                printf("Warning: contents with no name in %s\n", parent_path);
        } else if (kind == tag_name) {
            // At the document level, names belong to index-level elements such
            // as a placement policy's patterns, never to a path.
            if (depth > 0) {
                path_release(own_path);
                own_path = path_join(parent_path, read_value(&cursor));
            }
        } else if (kind == tag_directory) {
            if (depth + 1 > max_directory_depth) {
                printf("Error: Directories nested deeper than %d levels\n", max_directory_depth);
                os_exit(exit_bad_index);
            }
            cursor = scan_directory(out, cursor, path, depth + 1);
            if (!cursor)
                break;
        } else if (kind == tag_file) {
            cursor = scan_file(out, cursor, path);
            if (!cursor) {
                // The text ended inside the file: report it and stop the walk.
                printf("Warning: missing </file> in %s\n", parent_path);
                break;
            }
        } else {
            read_entry_field(kind, &cursor, &fields);
        }
        if (*cursor == '\0')
            break;
    }
    path_release(own_path);
    return cursor;
}

void convert_index(os_file *out, char *text) {
    // The header comes first, so a file that fails the checks below still
    // holds it.
    write_header(out);
    char *declaration = expect_prefix(skip_prefix(text, "\xEF\xBB\xBF"), "<?xml");
    char *declaration_end = find_or_die(declaration, ">");
    *declaration_end = '\0'; // <?xml version="1.0" encoding="UTF-8"?|>
    find_or_die(declaration, " encoding=\"UTF-8\"");
    scan_directory(out, declaration_end + 1, empty_text, 0);
}
