// libFuzzer target: the whole conversion, convert_index on arbitrary bytes
// into a real output file, as the driver runs it.
//
// A malformed index ends the run through os_exit, which calls _exit. The
// target is linked with -Wl,--wrap=_exit, so that call lands in __wrap__exit
// below, which jumps back here: the fuzzer goes on with the next input. The
// jump abandons the paths the walk holds on its stack; malloc and free hooks
// record every block allocated during one conversion, so those are released
// afterwards, and a block still recorded after a normal return is a leak.
//
// Run with -detect_leaks=0: the table below checks each conversion exactly,
// while LeakSanitizer would re-run every input whose mallocs and frees differ
// and would see the abandoned blocks as reachable through the table anyway.
#include "platform/platform.h"
#include "scan/index_walk.h"
#include "scan/scan_text.h"

#include <sanitizer/allocator_interface.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern "C" [[noreturn]] void __real__exit(int code);

// The walk holds one path per directory level, and at the deepest level a
// file's path and a quoted copy of it for a moment.
static const int live_capacity = max_directory_depth + 8;
static const volatile void *live_blocks[live_capacity];
static int live_count;
// Only the fuzzing thread's allocations count, and only during a conversion.
static thread_local bool recording;

static jmp_buf fatal_exit;
static bool in_conversion;
static int fatal_code;

static char out_path[64];
// stdout writes into this, so printing never allocates during a conversion.
static char stdout_buffer[1 << 16];

static void die(const char *message) {
    recording = false;
    // write(): the hooks must not allocate, and stderr is what libFuzzer logs.
    ssize_t written = write(2, message, strlen(message));
    (void)written; // aborting either way
    abort();
}

static void on_malloc(const volatile void *block, size_t) {
    if (!recording)
        return;
    if (live_count == live_capacity)
        die("fuzz_convert: more live blocks than the walk's depth allows\n");
    live_blocks[live_count++] = block;
}

static void on_free(const volatile void *block) {
    if (!recording)
        return;
    // Mostly the newest block is freed first: search from the end.
    for (int i = live_count - 1; i >= 0; --i)
        if (live_blocks[i] == block) {
            live_blocks[i] = live_blocks[--live_count];
            return;
        }
}

extern "C" [[noreturn]] void __wrap__exit(int code) {
    if (!in_conversion)
        __real__exit(code);
    in_conversion = false;
    fatal_code = code;
    longjmp(fatal_exit, 1);
}

static void remove_out_file() {
    unlink(out_path);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The program's messages would flood the fuzzer's log.
    if (!freopen("/dev/null", "w", stdout))
        die("fuzz_convert: cannot send stdout to /dev/null\n");
    setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
    const char *folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(out_path, sizeof out_path, "%s/ostrel-fuzz-%d.oxl", folder,
             static_cast<int>(getpid()));
    atexit(remove_out_file);
    if (!__sanitizer_install_malloc_and_free_hooks(on_malloc, on_free))
        die("fuzz_convert: cannot install the malloc hooks\n");
    return 0;
}

// One conversion of the input; the code of its fatal exit, or -1 when it
// returned normally.
static int convert_once(const uint8_t *data, size_t size) {
    // The text as the driver loads it: the bytes and a NUL in a block of just
    // that size (the heap for inputs of this size), so a read past the NUL is
    // caught.
    char *text = static_cast<char *>(os_alloc_text(size + 1));
    if (!text)
        die("fuzz_convert: no memory for the text\n");
    memcpy(text, data, size);
    text[size] = '\0';
    os_file *out = os_create_output(out_path); // truncates the previous list
    if (!out)
        die("fuzz_convert: cannot create the output file\n");

    int code = -1;
    live_count = 0;
    in_conversion = true;
    recording = true;
    if (setjmp(fatal_exit) == 0) {
        convert_index(out, text);
        recording = false;
        in_conversion = false;
        if (live_count != 0)
            die("fuzz_convert: a block allocated by the conversion was not freed\n");
    } else {
        recording = false;
        code = fatal_code;
        // Only paths can be live here (a quoted copy is freed before any exit
        // but a failed write); path_release keeps path_join's budget right.
        for (int i = 0; i < live_count; ++i)
            path_release(static_cast<char *>(const_cast<void *>(live_blocks[i])));
        live_count = 0;
    }
    os_close(out);
    os_free_text(text, size + 1);
    return code;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    int code = convert_once(data, size);
    // Writes to a file in a roomy temporary folder do not fail, and an input
    // this small comes nowhere near the 256 MiB path budget (ASan aborts on
    // a real lack of memory): the only fatal exit left is for a bad index.
    if (code != -1 && code != exit_bad_index) {
        char message[80];
        snprintf(message, sizeof message, "fuzz_convert: fatal exit with code %d\n", code);
        die(message);
    }
    return 0;
}
