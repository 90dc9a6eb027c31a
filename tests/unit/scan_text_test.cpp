// Table-driven tests of the text scanning primitives.
#include "scan/scan_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Offset of a result inside text, -1 for no position.
long offset(const char *text, const char *result) {
    return result ? result - text : -1;
}

struct search_case {
    const char *text;
    const char *needle;
    long expected; // offset of the result, -1 for none
};

TEST(MatchPrefix, Cases) {
    const search_case cases[] = {
        {"<?xml version", "<?xml", 5},
        {"<?xm", "<?xml", -1}, // text ends first
        {"<?XML", "<?xml", -1},
        {"abc", "", 0}, // empty prefix: the text itself
        {"", "", 0},
        {"", "a", -1},
    };
    for (const search_case &c : cases) {
        std::string text = c.text;
        EXPECT_EQ(offset(text.data(), match_prefix(text.data(), c.needle)), c.expected)
            << c.text << " / " << c.needle;
    }
}

TEST(SkipPrefix, SkipsOneByteOrderMarkOnly) {
    const char *bom = "\xEF\xBB\xBF";
    const search_case cases[] = {
        {"<?xml", bom, 0},
        {"\xEF\xBB\xBF<?xml", bom, 3},
        {"\xEF\xBB\xBF\xEF\xBB\xBF<?xml", bom, 3},
        {"\xEF\xBB<?xml", bom, 0},
    };
    for (const search_case &c : cases) {
        std::string text = c.text;
        EXPECT_EQ(offset(text.data(), skip_prefix(text.data(), c.needle)), c.expected) << c.text;
    }
}

TEST(FindText, Cases) {
    const search_case cases[] = {
        {"ab<cd<", "<", 2},
        {"abc", ">", -1},
        {"", "", -1}, // an empty text holds nothing, not even the empty needle
        {"", "<", -1},
        {"abc", "", 0},
        {"x encoding=\"UTF-8\"", " encoding=\"UTF-8\"", 1},
        {"  encoding=\"UTF-8\"", " encoding=\"UTF-8\"", 1},
        {" encoding='UTF-8'", " encoding=\"UTF-8\"", -1},
        {" encoding=\"utf-8\"", " encoding=\"UTF-8\"", -1},
        {"aab", "ab", 1}, // restarts at every position
    };
    for (const search_case &c : cases) {
        std::string text = c.text;
        EXPECT_EQ(offset(text.data(), find_text(text.data(), c.needle)), c.expected)
            << c.text << " / " << c.needle;
    }
}

TEST(FindText, StopsAtTheFirstNul) {
    std::string text("a\0<", 3);
    EXPECT_EQ(find_text(text.data(), "<"), nullptr);
    EXPECT_EQ(find_text(text.data(), "a<"), nullptr);
}

TEST(MatchTag, Cases) {
    const search_case cases[] = {
        {"file", "file", 4},             // at the NUL
        {"file x=\"1\"", "file", 5},     // after the space
        {"file ", "file", 5},
        {"files", "file", -1},
        {"file/", "file", -1},
        {"File", "file", -1},
        {"file\tx", "file", -1},
        {"file\nx", "file", -1},
        {"fil", "file", -1},
        {"/file", "/file", 5},
        {"/file", "file", -1},
        {"name percentencoded=\"true\"", "name", 5},
    };
    for (const search_case &c : cases) {
        std::string tag = c.text;
        EXPECT_EQ(offset(tag.data(), match_tag(tag.data(), c.needle)), c.expected)
            << c.text << " / " << c.needle;
    }
}

TEST(DecodeEntities, Cases) {
    const struct {
        const char *encoded;
        const char *decoded;
    } cases[] = {
        {"R&amp;D &lt;1&gt;", "R&D <1>"},
        {"&lt", "&lt"},
        {"say &quot;hi&quot; &apos;x&apos; &#38; &#x26;", "say &quot;hi&quot; &apos;x&apos; &#38; &#x26;"},
        {"&amp;amp;", "&amp;"},
        {"&amp;lt;", "&lt;"}, // a decoded byte is never read again
        {"&&amp;", "&&"},
        {"no entity", "no entity"},
        {"", ""},
        {"tail&", "tail&"},
        {"&gt;&gt;&lt;", ">><"},
    };
    for (const auto &c : cases) {
        std::string text = c.encoded;
        decode_entities(text.data());
        EXPECT_STREQ(text.c_str(), c.decoded) << c.encoded;
    }
}

TEST(PathJoin, Cases) {
    const struct {
        const char *parent;
        const char *name;
        const char *path;
    } cases[] = {
        {"", "TAPE01", "TAPE01"},
        {"TAPE01", "photos", "TAPE01\\photos"},
        {"TAPE01\\photos", "a.jpg", "TAPE01\\photos\\a.jpg"},
        {"TAPE01", "", "TAPE01\\"},
        {"", "", ""},
    };
    for (const auto &c : cases) {
        char *path = path_join(c.parent, c.name);
        EXPECT_STREQ(path, c.path) << c.parent << " + " << c.name;
        path_release(path);
    }
}

// The fatal exits print to standard output, which the golden cases check; here
// only the exit code and that nothing comes back.
TEST(OrDie, EndTheRunWithCodeNine) {
    std::string text = "no tag here";
    EXPECT_EXIT(find_or_die(text.data(), "<"), testing::ExitedWithCode(9), "");
    EXPECT_EXIT(expect_prefix(text.data(), "<?xml"), testing::ExitedWithCode(9), "");
    std::string empty;
    EXPECT_EXIT(find_or_die(empty.data(), ""), testing::ExitedWithCode(9), "");
}

} // namespace
