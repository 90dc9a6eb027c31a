// ostrel: converts an LTFS index into an OXL file list.
//   ostrel.exe <in.xml> <out.oxl>
// Loads the whole index, creates the list and hands both to the index walk.
// The exit code tells the outcome; every message goes to standard output.
#include "platform/platform.h"
#include "scan/index_walk.h"
#include "scan/scan_text.h"

#include <cstdio>

// "Error <code>: <what> <path>" for a file that could not be opened or made.
static void print_path_error(unsigned error, const char *what, const os_char *path) {
    printf("Error %u: %s ", error, what);
    os_print_path(path);
    printf("\n");
}

int main(int argc, char **argv) {
    printf("ostrel 1.0.0.0\n");

    int count;
    os_char **arguments = os_arguments(argc, argv, &count);
    if (count != 3) {
        printf("Usage:\n");
        printf("ostrel.exe <in.xml> <out.oxl>\n");
        return exit_usage;
    }
    const os_char *in_path = arguments[1];
    const os_char *out_path = arguments[2];

    os_file *in = os_open_input(in_path);
    if (!in) {
        print_path_error(os_last_error(), "Unable to open", in_path);
        return exit_cannot_open_input;
    }

    uint32_t size_high;
    uint32_t size = os_file_size(in, &size_high);
    if (size == 0xFFFFFFFFu || size_high != 0) {
        printf("Error: in file too large\n");
        os_close(in);
        return exit_input_too_large;
    }

    // One byte more for the NUL that ends the text for every scan.
    size_t text_size = static_cast<size_t>(size) + 1;
    char *text = alloc_text_or_die(text_size);
    uint32_t count_read;
    if (!os_read(in, text, size, &count_read)) {
        printf("Error %u: Unable to read in file.\n", os_last_error());
        os_free_text(text, text_size);
        os_close(in);
        return exit_read_failed;
    }
    if (count_read < size) {
        printf("Error: Unable to read in file.\n");
        os_free_text(text, text_size);
        os_close(in);
        return exit_read_short;
    }
    text[count_read] = '\0';

    // Created only now, so a run that could not read its input leaves an
    // existing list untouched.
    os_file *out = os_create_output(out_path);
    if (!out) {
        print_path_error(os_last_error(), "Unable to create", out_path);
        os_free_text(text, text_size);
        os_close(in);
        return exit_cannot_create_output;
    }

    convert_index(out, text);

    os_close(out);
    os_free_text(text, text_size);
    os_close(in);
    return exit_success;
}
