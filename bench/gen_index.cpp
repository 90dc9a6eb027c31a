// gen_index: writes a realistic LTFS 2.4 index of FILES files, the same bytes
// for the same FILES on every machine.
//   gen_index FILES OUT.xml
// One element per line, as the libltfs writer puts them. Names use only the
// entities &amp; &lt; &gt;, so a full XML parser and ostrel read the same names
// and the Python peer's list can be compared with ostrel's byte for byte.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// --- Random numbers: splitmix64, so no library's distribution is involved ---

static uint64_t rng_state = 0x0572E1BE7C4ULL;

static uint64_t next_random() {
    uint64_t z = (rng_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// 0 .. bound-1; the modulo bias is irrelevant for test data.
static uint64_t random_below(uint64_t bound) {
    return next_random() % bound;
}

static bool one_in(uint64_t n) {
    return random_below(n) == 0;
}

// --- Output: one large buffer, flushed with fwrite -------------------------

static FILE *out_file;
static char *out_buffer;
static size_t out_used;
static const size_t out_capacity = size_t(4) << 20;

static void flush_out() {
    if (out_used && fwrite(out_buffer, 1, out_used, out_file) != out_used) {
        perror("gen_index: write");
        exit(1);
    }
    out_used = 0;
}

static void put(const char *text, size_t length) {
    if (out_capacity - out_used < length)
        flush_out();
    memcpy(out_buffer + out_used, text, length);
    out_used += length;
}

static void put_text(const char *text) {
    put(text, strlen(text));
}

static void put_u64(uint64_t value) {
    char digits[24];
    int at = sizeof digits;
    do {
        digits[--at] = char('0' + value % 10);
        value /= 10;
    } while (value);
    put(digits + at, sizeof digits - at);
}

// <tag>value</tag> and a line feed.
static void put_element(const char *tag, const char *value) {
    put_text("<");
    put_text(tag);
    put_text(">");
    put_text(value);
    put_text("</");
    put_text(tag);
    put_text(">\n");
}

static void put_number_element(const char *tag, uint64_t value) {
    put_text("<");
    put_text(tag);
    put_text(">");
    put_u64(value);
    put_text("</");
    put_text(tag);
    put_text(">\n");
}

// --- Timestamps: nanoseconds since 1970, written as the index writes them --

// The clock moves forward by a few milliseconds per entry, as on a real copy.
static uint64_t clock_ns = 1796951940ULL * 1000000000ULL; // 2026-12-11T01:19:00Z

// Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
static void civil_from_days(int64_t days, int *year, unsigned *month, unsigned *day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    unsigned doe = unsigned(days - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    *day = doy - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = int(yoe + era * 400 + (*month <= 2));
}

static void format_time(uint64_t ns, char *text) { // text: 48 bytes
    uint64_t seconds = ns / 1000000000ULL;
    int year;
    unsigned month, day;
    civil_from_days(int64_t(seconds / 86400), &year, &month, &day);
    unsigned in_day = unsigned(seconds % 86400);
    snprintf(text, 48, "%04d-%02u-%02uT%02u:%02u:%02u.%09uZ", year, month, day, in_day / 3600,
             in_day / 60 % 60, in_day % 60, unsigned(ns % 1000000000ULL));
}

// The five times of an entry: created first, changed and modified a little
// later, accessed and backed up at creation, as libltfs leaves them.
static void put_times(uint64_t created, uint64_t modified, uint64_t changed) {
    char text[48];
    format_time(created, text);
    put_element("creationtime", text);
    format_time(changed, text);
    put_element("changetime", text);
    format_time(modified, text);
    put_element("modifytime", text);
    format_time(created, text);
    put_element("accesstime", text);
    put_element("backuptime", text);
}

// --- The tree ---------------------------------------------------------------

static const int max_depth = 12; // the top directory is level 1

struct directory_plan {
    int parent;
    int depth;
    int file_count;
    std::vector<int> children;
};

static std::vector<directory_plan> plan;
static uint64_t next_uid = 1;
static uint64_t next_block = 20;

// About one directory per 20 files. A third of the new directories go below
// the one made just before, which builds deep chains; the rest go below any
// directory at a random level of 1 to 11, which keeps most trees shallow.
static void plan_tree(uint64_t files) {
    uint64_t directory_count = files / 20 ? files / 20 : 1;
    plan.resize(directory_count);
    plan[0] = {-1, 1, 0, {}};
    for (uint64_t i = 1; i < directory_count; ++i) {
        int parent = int(i - 1);
        if (plan[parent].depth >= max_depth || !one_in(3)) {
            parent = int(random_below(i));
            int level = 1 + int(random_below(max_depth - 1));
            while (plan[parent].depth > level)
                parent = plan[parent].parent;
        }
        plan[i] = {parent, plan[parent].depth + 1, 0, {}};
        plan[parent].children.push_back(int(i));
    }
    // One leaf in 16 stays empty (<contents/>); the top directory never does.
    std::vector<int> holders;
    for (uint64_t i = 0; i < directory_count; ++i)
        if (i == 0 || !plan[i].children.empty() || !one_in(16))
            holders.push_back(int(i));
    for (uint64_t f = 0; f < files; ++f)
        ++plan[holders[random_below(holders.size())]].file_count;
}

static const char *const directory_words[] = {
    "Project", "CAM_A", "CAM_B", "Day", "Shot", "Raw footage", "Audio", "Renders",
    "Backups", "2026-12", "R&amp;D", "Caf\xC3\xA9 archive", "\xE8\xB3\x87\xE6\x96\x99",
    "Scans &lt;old&gt;", "Invoices, paid", "Mus\xC3\xA9" "e"};

static const char *const file_stems[] = {
    "Project01_CAM_A_D1", "IMG", "DSC", "scan", "report", "clip", "take", "track"};
static const char *const file_extensions[] = {".MXF", ".JPG", ".NEF", ".tif", ".pdf",
                                              ".mov", ".wav", ".txt"};

// Now and then a name of the kinds that real tapes hold: entities, commas,
// apostrophes, accents, CJK, emoji, a line feed, percent-encoding.
static const char *const odd_names[] = {
    "R&amp;D notes", "a &lt; b &gt; c", "R\xC3\xA9sum\xC3\xA9 final",
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB",
    "\xF0\x9F\x8E\x9E reel", "it's mine", "one, two, three", "tab\tname", "line\nbreak"};

static void put_name(const char *text, uint64_t number, const char *suffix) {
    bool encoded = one_in(200);
    put_text(encoded ? "<name percentencoded=\"true\">" : "<name>");
    if (encoded)
        put_text("time%2012%3A30%20");
    put_text(text);
    put_text(" ");
    put_u64(number);
    put_text(suffix);
    put_text("</name>\n");
}

static void put_file(uint64_t sequence) {
    put_text("<file>\n");
    if (one_in(60)) {
        put_name(odd_names[random_below(sizeof odd_names / sizeof *odd_names)], sequence,
                 ".txt");
    } else {
        // stem_0042.ext, without the space that put_name adds.
        char text[64];
        unsigned kind = unsigned(random_below(8));
        snprintf(text, sizeof text, "%s_%04" PRIu64 "%s", file_stems[kind], sequence,
                 file_extensions[kind]);
        put_element("name", text);
    }
    bool symlink = one_in(500);
    // Sizes spread over many magnitudes; one file in 50 is empty.
    uint64_t length = symlink || one_in(50) ? 0 : random_below(uint64_t(1) << random_below(36));
    put_number_element("length", length);
    put_element("readonly", symlink || one_in(20) ? "true" : "false");
    uint64_t created = clock_ns += 100000 + random_below(3000000);
    uint64_t modified = clock_ns += random_below(400000);
    uint64_t changed = one_in(4) ? clock_ns += random_below(4000000000ULL) : modified;
    put_times(created, modified, changed);
    put_number_element("fileuid", next_uid++);
    if (symlink || one_in(8)) {
        put_text("<extendedattributes>\n");
        int count = symlink ? 1 : 1 + int(random_below(2));
        for (int i = 0; i < count; ++i) {
            put_text("<xattr>\n");
            if (symlink || one_in(2)) {
                put_element("key", "ltfs.vendor.IBM.prefixLength");
                put_element("value", "0");
            } else {
                put_element("key", "user.md5");
                char hex[40];
                snprintf(hex, sizeof hex, "%016" PRIx64 "%016" PRIx64, next_random(),
                         next_random());
                put_element("value", hex);
            }
            put_text("</xattr>\n");
        }
        put_text("</extendedattributes>\n");
    }
    if (symlink) {
        put_element("symlink", "../target");
    } else if (length) {
        // One extent mostly; large files are sometimes split over two or three.
        int extents = one_in(6) ? 2 + int(random_below(2)) : 1;
        put_text("<extentinfo>\n");
        uint64_t offset = 0;
        for (int i = 0; i < extents; ++i) {
            uint64_t count = i + 1 < extents ? length / extents : length - offset;
            put_text("<extent>\n");
            put_number_element("fileoffset", offset);
            put_element("partition", "b");
            put_number_element("startblock", next_block);
            put_number_element("byteoffset", 0);
            put_number_element("bytecount", count);
            put_text("</extent>\n");
            next_block += 1 + count / 524288;
            offset += count;
        }
        put_text("</extentinfo>\n");
    }
    put_text("</file>\n");
}

static void put_directory(int index, const char *name) {
    put_text("<directory>\n");
    put_element("name", name);
    put_element("readonly", "false");
    uint64_t created = clock_ns += 200000 + random_below(1000000);
    put_times(created, created + 5000000, created + 5000000);
    put_number_element("fileuid", next_uid++);
    const directory_plan &self = plan[index];
    if (self.file_count == 0 && self.children.empty()) {
        put_text("<contents/>\n");
    } else {
        put_text("<contents>\n");
        for (int f = 0; f < self.file_count; ++f)
            put_file(uint64_t(f));
        for (size_t c = 0; c < self.children.size(); ++c) {
            char child_name[96];
            const char *word =
                directory_words[random_below(sizeof directory_words / sizeof *directory_words)];
            snprintf(child_name, sizeof child_name, "%s %02zu", word, c + 1);
            put_directory(self.children[c], child_name);
        }
        put_text("</contents>\n");
    }
    put_text("</directory>\n");
}

static void put_index(uint64_t files) {
    put_text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    put_text("<ltfsindex version=\"2.4.0\" "
             "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n");
    put_element("creator", "ostrel gen_index 1.0 - Linux - bench");
    char uuid[40];
    uint64_t a = next_random(), b = next_random();
    snprintf(uuid, sizeof uuid, "%08" PRIx64 "-%04" PRIx64 "-4%03" PRIx64 "-a%03" PRIx64
             "-%012" PRIx64, a >> 32, (a >> 16) & 0xFFFF, a & 0xFFF, b >> 52,
             uint64_t(b & 0xFFFFFFFFFFFFULL));
    put_element("volumeuuid", uuid);
    put_number_element("generationnumber", 7);
    char text[48];
    format_time(clock_ns, text);
    put_element("updatetime", text);
    put_text("<location>\n");
    put_element("partition", "a");
    put_number_element("startblock", 6);
    put_text("</location>\n");
    put_text("<previousgenerationlocation>\n");
    put_element("partition", "b");
    put_number_element("startblock", 20 + files);
    put_text("</previousgenerationlocation>\n");
    put_element("allowpolicyupdate", "true");
    put_text("<dataplacementpolicy>\n<indexpartitioncriteria>\n");
    put_number_element("size", 1048576);
    put_element("name", "*.txt");
    put_element("name", "*.xml");
    put_text("</indexpartitioncriteria>\n</dataplacementpolicy>\n");
    put_element("volumelockstate", "unlocked");
    put_number_element("highestfileuid", plan.size() + files);
    put_directory(0, "TAPE01");
    put_text("</ltfsindex>\n");
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: gen_index FILES OUT.xml\n");
        return 2;
    }
    char *end;
    uint64_t files = strtoull(argv[1], &end, 10);
    if (*end || files == 0) {
        fprintf(stderr, "gen_index: FILES must be a positive number\n");
        return 2;
    }
    out_file = fopen(argv[2], "wb");
    out_buffer = static_cast<char *>(malloc(out_capacity));
    if (!out_file || !out_buffer) {
        perror("gen_index");
        return 1;
    }
    setvbuf(out_file, nullptr, _IONBF, 0); // our buffer is the only one
    plan_tree(files);
    put_index(files);
    flush_out();
    if (fclose(out_file) != 0) {
        perror("gen_index: close");
        return 1;
    }
    int deepest = 0;
    for (const directory_plan &d : plan)
        deepest = d.depth > deepest ? d.depth : deepest;
    fprintf(stderr, "gen_index: %" PRIu64 " files, %zu directories, %d levels\n", files,
            plan.size(), deepest);
    return 0;
}
