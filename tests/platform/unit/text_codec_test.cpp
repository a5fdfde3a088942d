// The codec the machine and the tests share (plx_text_codec.h), on surrogate
// pairs and on bytes that are not UTF-8, and the screen.log field reader.
#include "plx_screen_log.h"
#include "plx_text_codec.h"

#include <gtest/gtest.h>

#include <string>

using namespace plxtext;

TEST(TextCodec, Utf16ToUtf8) {
    struct Row {
        std::u16string utf16;
        std::string utf8;
    } rows[] = {
        {u"A\u00E9\u20AC\uFFFF", "A\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},  // a pair is one character
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
        {std::u16string{0xD800, u'A'},
         "\xEF\xBF\xBD"
         "A"},                                                         // high surrogate alone
        {std::u16string{0xDC00}, "\xEF\xBF\xBD"},                      // low surrogate alone
        {std::u16string{u'x', 0xD83D}, "x\xEF\xBF\xBD"},               // high surrogate at the end
        {std::u16string{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // a pair the wrong way round
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.utf8);
        EXPECT_EQ(row.utf8, toUtf8(row.utf16));
    }
}

TEST(TextCodec, Utf8ToUtf16) {
    // strict: whether fromUtf8Strict takes the bytes (then with the same result).
    struct Row {
        std::string utf8;
        std::u16string utf16;
        bool strict;
    } rows[] = {
        {"A\xC3\xA9\xE2\x82\xAC", u"A\u00E9\u20AC", true},
        {"\xF0\x9F\x98\x80", u"\U0001F600", true},  // four bytes: a pair
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
        {"\xEF\xBB\xBF", u"\uFEFF", true},
        {"a\x80z", u"a\uFFFDz", false},                            // a stray continuation byte
        {"\xC0\x80", u"\uFFFD\uFFFD", false},                      // overlong NUL
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", false},            // overlong '/'
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},  // beyond U+10FFFF
        {"\xF5\xBF", u"\uFFFD\uFFFD", false},
        {"\xE2\x82", u"\uFFFD", false},  // cut short at the end
        {"\xE2\x82"
         "A",
         u"\uFFFDA", false},  // cut short by a letter
        {"\xF0\x9F\x98"
         "A",
         u"\uFFFDA", false},
        {"\xFF\xFE", u"\uFFFD\uFFFD", false},
        // Unicode's example of maximal subparts (chapter 3, U+FFFD substitution).
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(toUtf8(row.utf16));
        EXPECT_EQ(row.utf16, fromUtf8(row.utf8));
        std::u16string strict;
        EXPECT_EQ(row.strict, fromUtf8Strict(row.utf8, strict));
        if (row.strict) {
            EXPECT_EQ(row.utf16, strict);
        }
    }
}

TEST(ScreenLog, FieldsReadBack) {
    ScreenLogBox box{"Cap \"x\"", "a answer=IDNO\\b\n\tc", "YESNO", "", "IDYES", "why \"not\""};
    std::string line = screenLogLine(box);
    EXPECT_EQ(
        "MessageBox caption=\"Cap \\\"x\\\"\" text=\"a answer=IDNO\\\\b\\n\\tc\" buttons=YESNO answer=IDYES "
        "error=\"why \\\"not\\\"\"",
        line);
    EXPECT_EQ(kScreenLogBox, screenLogKind(line));
    struct Row {
        const char* name;
        std::string value;
    } rows[] = {{"caption", box.caption}, {"text", box.text},   {"buttons", "YESNO"}, {"icon", ""},
                {"answer", "IDYES"},      {"error", box.error}, {"IDNO", ""}};
    for (const Row& row : rows) EXPECT_EQ(row.value, screenLogField(line, row.name)) << row.name;
    EXPECT_EQ("ExitWindowsEx flags=0x12 reboot", screenLogExitLine("reboot", 0x12));
    EXPECT_EQ("reboot", screenLogExitAction(screenLogExitLine("reboot")));
}
