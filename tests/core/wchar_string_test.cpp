// CPLXWCharString: storage, comparison, search, substrings, tokens and editing.
#include <gtest/gtest.h>

#include "plx_core_test_util.h"
#include "plx_wchar_string.h"

namespace {

typedef CPLXWCharString S;

TEST(WCharStringTest, EmptyAndInvalidCoincide) {
    S fromEmpty(TEXT(""));
    S fromNull(static_cast<const WCHAR*>(nullptr));
    S byDefault;
    for (const S* p : {&fromEmpty, &fromNull, &byDefault}) {
        EXPECT_FALSE(p->isValid());
        EXPECT_EQ(p->getLength(), 0u);
        EXPECT_NE(p->c_str(), nullptr);
        EXPECT_EQ(p->c_str()[0], 0);
        EXPECT_FALSE(*p == plxStr("a"));
    }
    EXPECT_TRUE(fromEmpty == fromNull);
    EXPECT_TRUE(fromNull == byDefault);

    S text = plxStr("abc");
    EXPECT_EQ(text.getNumElems(), 4u);
    text = static_cast<const WCHAR*>(nullptr);
    EXPECT_FALSE(text.isValid());
    text = TEXT('z');
    EXPECT_EQ(plxText(text), "z");
    text = static_cast<WCHAR>(0);
    EXPECT_FALSE(text.isValid());
}

TEST(WCharStringTest, BuffersBecomeTerminatedCompactStrings) {
    CPLXBuffer<unsigned short> raw(2);
    raw[0] = 'a';
    raw[1] = 'b';
    S text(raw);
    EXPECT_EQ(plxText(text), "ab");
    EXPECT_EQ(text.getNumElems(), 3u);

    CPLXBuffer<unsigned short> embedded(4);
    embedded[0] = 'x';
    embedded[2] = 'y';
    text = embedded;
    EXPECT_EQ(plxText(text), "x");
    EXPECT_EQ(text.getNumElems(), 2u);
    text = CPLXBuffer<unsigned short>();
    EXPECT_FALSE(text.isValid());

    // A copy keeps the element count; compact trims it to length + 1.
    S spacious;
    spacious.allocate(6);
    spacious[0] = 'q';
    S copy(spacious);
    EXPECT_EQ(copy.getNumElems(), 6u);
    EXPECT_TRUE(copy.compact());
    EXPECT_EQ(copy.getNumElems(), 2u);
    S zeros;
    zeros.allocate(3);
    EXPECT_TRUE(zeros.isValid());
    zeros.compact();
    EXPECT_FALSE(zeros.isValid());
    EXPECT_FALSE(zeros.compact());
}

TEST(WCharStringTest, SelfAssignmentFromOwnText) {
    S text = plxStr("abcdef");
    text = text.c_str() + 2;
    EXPECT_EQ(plxText(text), "cdef");
    text = text;
    EXPECT_EQ(plxText(text), "cdef");
}

TEST(WCharStringTest, Joining) {
    EXPECT_EQ(plxText(plxStr("C:\\dir") + plxStr("\\file")), "C:\\dir\\file");
    EXPECT_EQ(plxText(S() + plxStr("x")), "x");
    EXPECT_EQ(plxText(plxStr("x") + S()), "x");
    EXPECT_EQ(plxText(TEXT("pre") + plxStr("fix")), "prefix");
    S text = plxStr("ab");
    text += text;
    EXPECT_EQ(plxText(text), "abab");
    EXPECT_EQ(text.getNumElems(), 5u);
    S none;
    none += plxStr("n");
    EXPECT_EQ(plxText(none), "n");
}

TEST(WCharStringTest, OrderingOnlyBetweenEqualLengths) {
    EXPECT_TRUE(plxStr("abc") == plxStr("abc"));
    EXPECT_TRUE(plxStr("abc") != plxStr("abd"));
    EXPECT_TRUE(plxStr("abc") < plxStr("abd"));
    EXPECT_FALSE(plxStr("abd") < plxStr("abc"));
    EXPECT_TRUE(plxStr("abc") <= plxStr("abc"));
    EXPECT_FALSE(plxStr("ab") <= plxStr("abc"));
    EXPECT_FALSE(plxStr("ab") >= plxStr("abc"));
    EXPECT_TRUE(plxStr("ab") < plxStr("abc"));
    EXPECT_TRUE(plxStr("ab") > plxStr("abc"));
    EXPECT_FALSE(S() <= S());
}

TEST(WCharStringTest, FindCountsOverlappingOccurrencesFromEitherEnd) {
    S text = plxStr("aaaa");
    ULONG ulPos = 99;
    EXPECT_EQ(text.countOccurrences(plxStr("aa")), 3u);
    EXPECT_TRUE(text.find(plxStr("aa"), 2, pmFromStart, ulPos));
    EXPECT_EQ(ulPos, 1u);
    EXPECT_TRUE(text.find(plxStr("aa"), 1, pmFromEnd, ulPos));
    EXPECT_EQ(ulPos, 2u);
    EXPECT_TRUE(text.find(plxStr("aa"), 3, pmFromEnd, ulPos));
    EXPECT_EQ(ulPos, 0u);
    EXPECT_FALSE(text.find(plxStr("aa"), 4, pmFromStart, ulPos));
    EXPECT_FALSE(text.find(plxStr("aa"), 1, 3, ulPos));
    EXPECT_EQ(S().countOccurrences(plxStr("a")), 0u);
    EXPECT_EQ(text.countOccurrences(S()), 0u);
    EXPECT_TRUE(plxStr("xyz").contains(plxStr("yz")));
    EXPECT_FALSE(plxStr("xyz").contains(plxStr("zy")));
}

TEST(WCharStringTest, FindArgumentFailuresAreLoggedOnce) {
    PlxLoggingOn on("string_find");
    ULONG ulPos = 0;
    EXPECT_FALSE(plxStr("abc").find(plxStr("x"), 5, pmFromStart, ulPos));
    EXPECT_FALSE(plxStr("abc").find(plxStr("x"), 0, pmFromStart, ulPos));
    EXPECT_FALSE(plxStr("abc").find(plxStr("abcd"), 1, pmFromStart, ulPos));
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(plxCountEntries(
                  entries, "( ulOccurrance ). value is impossible since it is larger than the length of this string"),
              1u);
    EXPECT_EQ(plxCountEntries(entries, "( ulOccurrance ). value must be greater than 0"), 1u);
    EXPECT_EQ(entries.size(), 2u);
}

TEST(WCharStringTest, BeginsAndEndsWith) {
    EXPECT_TRUE(plxStr("abab").beginsWith(plxStr("ab")));
    EXPECT_TRUE(plxStr("abab").endsWith(plxStr("ab")));
    EXPECT_FALSE(plxStr("ba").endsWith(plxStr("b")));
    EXPECT_FALSE(plxStr("ba").beginsWith(plxStr("a")));
    EXPECT_FALSE(plxStr("a").endsWith(plxStr("ab")));
    EXPECT_FALSE(S().beginsWith(plxStr("a")));
}

TEST(WCharStringTest, FourOperationsAreTraced) {
    PlxLoggingOn on("string_trace", 0x031B);
    on.tracesOn();
    EXPECT_TRUE(plxStr("abc").beginsWith(plxStr("a")));
    EXPECT_FALSE(plxStr("abc").endsWith(plxStr("b")));
    EXPECT_TRUE(plxStr("A").getAsciiCodeString().isValid());
    EXPECT_EQ(plxStr("41 zz").getBufferFromAsciiCodeString().getNumElems(), 0u);
    EXPECT_TRUE(plxStr("abc").contains(plxStr("b")));  // untraced
    std::vector<std::string> entries = on.entries();
    const char* expected[][2] = {
        {"<ENTRY>", "<CPLXWCharString::beginsWith> <plx_wchar_string.cpp, "},
        {"<EXIT>", "<CPLXWCharString::beginsWith> <Passed> <plx_wchar_string.cpp, "},
        {"<ENTRY>", "<CPLXWCharString::endsWith> <plx_wchar_string.cpp, "},
        {"<EXIT>", "<CPLXWCharString::endsWith> <Failed Logical Result> <plx_wchar_string.cpp, "},
        {"<ENTRY>", "<CPLXWCharString::getAsciiCodeString> <plx_wchar_string_convert.cpp, "},
        {"<EXIT>", "<CPLXWCharString::getAsciiCodeString> <Passed> <plx_wchar_string_convert.cpp, "},
        {"<ENTRY>", "<CPLXWCharString::getBufferFromAsciiCodeString> <plx_wchar_string_convert.cpp, "},
        {"<EXIT>", "<CPLXWCharString::getBufferFromAsciiCodeString> <Failed> <plx_wchar_string_convert.cpp, "},
    };
    ASSERT_EQ(entries.size(), 8u);
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].find(expected[i][0]), 0u) << entries[i];
        EXPECT_NE(entries[i].find(expected[i][1]), std::string::npos) << entries[i];
    }
}

TEST(WCharStringTest, OccurrenceNumbers) {
    S text = plxStr("a.b.c.d");
    ULONG ulNumber = 0;
    EXPECT_TRUE(text.getOccurrenceAt(plxStr("."), 3, pmFromStart, ulNumber));
    EXPECT_EQ(ulNumber, 2u);
    EXPECT_TRUE(text.getOccurrenceAt(plxStr("."), 3, pmFromEnd, ulNumber));
    EXPECT_EQ(ulNumber, 2u);
    EXPECT_TRUE(text.getOccurrenceAt(plxStr("."), 1, pmFromEnd, ulNumber));
    EXPECT_EQ(ulNumber, 3u);
    EXPECT_FALSE(text.getOccurrenceAt(plxStr("."), 2, pmFromStart, ulNumber));

    ULONG ulOpposite = 0;
    EXPECT_TRUE(text.getOppositeOccurrence(plxStr("."), 1, pmFromStart, ulOpposite));
    EXPECT_EQ(ulOpposite, 3u);
    EXPECT_FALSE(text.getOppositeOccurrence(plxStr("."), 4, pmFromEnd, ulOpposite));
    EXPECT_FALSE(S().getOppositeOccurrence(plxStr("."), 1, pmFromEnd, ulOpposite));

    PlxLoggingOn on("string_opposite");
    EXPECT_FALSE(text.getOppositeOccurrence(S(), 1, pmFromStart, ulOpposite));
    EXPECT_FALSE(text.getOppositeOccurrence(plxStr("."), 1, 3, ulOpposite));
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(plxCountEntries(entries, "( subString ). must contain a string"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "( parseMode ). invalid parse mode"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "An unhandled exception occurred"), 2u);
}

TEST(WCharStringTest, CuttingByCount) {
    S text = plxStr("abcdef");
    EXPECT_EQ(plxText(text.withoutLast(2)), "abcd");
    EXPECT_EQ(text.withoutLast(2).getNumElems(), 5u);
    EXPECT_EQ(plxText(text.withoutFirst(2)), "cdef");
    EXPECT_EQ(plxText(text.withoutFirst(0)), "abcdef");
    EXPECT_FALSE(text.withoutFirst(6).isValid());
    EXPECT_FALSE(text.withoutLast(60).isValid());
    EXPECT_FALSE(S().withoutFirst(1).isValid());
    EXPECT_TRUE(text.removeFirst(1));
    EXPECT_TRUE(text.removeLast(1));
    EXPECT_EQ(plxText(text), "bcde");
}

TEST(WCharStringTest, DeleteRangeWrapsAroundTheEnd) {
    S text = plxStr("abcdef");
    EXPECT_TRUE(text.deleteRange(1, 4, false, false));
    EXPECT_EQ(plxText(text), "abef");
    text = plxStr("abcdef");
    EXPECT_TRUE(text.deleteRange(1, 4, true, true));
    EXPECT_EQ(plxText(text), "af");
    text = plxStr("abcdef");
    EXPECT_TRUE(text.deleteRange(4, 1, false, false));
    EXPECT_EQ(plxText(text), "bcde");
    text = plxStr("abcdef");
    EXPECT_TRUE(text.deleteRange(4, 1, true, true));
    EXPECT_EQ(plxText(text), "cd");
    text = plxStr("ab");
    EXPECT_TRUE(text.deleteRange(1, 0, true, true));
    EXPECT_FALSE(text.isValid());
    EXPECT_FALSE(S().deleteRange(0, 1, false, false));

    PlxLoggingOn on("string_delete_range");
    text = plxStr("abc");
    EXPECT_FALSE(text.deleteRange(3, 1, false, false));
    EXPECT_FALSE(text.deleteRange(0, 3, false, false));
    EXPECT_FALSE(text.deleteRange(1, 1, false, false));
    EXPECT_EQ(plxText(text), "abc");
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(plxCountEntries(entries, "( ulStartPos ). start position is past the end of the string"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "( ulEndPos ). end position is past the end of the string"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "( ulEndPos & ulStartPos ). start and end positions can't be equal"), 1u);
}

TEST(WCharStringTest, ExtractInsideAndBetween) {
    S text = plxStr("abcdef");
    S out;
    EXPECT_TRUE(text.extractInside(out, 1, 3, true, true));
    EXPECT_EQ(plxText(out), "bcd");
    EXPECT_TRUE(text.extractInside(out, 1, 3, false, false));
    EXPECT_EQ(plxText(out), "c");
    EXPECT_TRUE(text.extractInside(out, 1, 3, true, false));
    EXPECT_EQ(plxText(out), "bc");
    EXPECT_TRUE(text.extractInside(out, 2, 2, false, false));
    EXPECT_FALSE(out.isValid());
    EXPECT_TRUE(text.extractInside(out, 2, 2, true, false));
    EXPECT_EQ(plxText(out), "c");
    // Positions past the text (the terminator included) fail.
    EXPECT_FALSE(text.extractInside(out, 6, 6, true, true));
    EXPECT_FALSE(text.extractInside(out, 2, 6, true, true));
    EXPECT_FALSE(out.isValid());
    EXPECT_FALSE(text.extractInside(out, 3, 1, true, true));

    S tagged = plxStr("x<<a>>y<<b>>z");
    EXPECT_TRUE(tagged.extractBetween(out, plxStr("<<"), 1, plxStr(">>"), 1, false, false));
    EXPECT_EQ(plxText(out), "a>>y<<b");
    EXPECT_TRUE(tagged.extractBetween(out, plxStr("<<"), 2, plxStr(">>"), 1, true, true));
    EXPECT_EQ(plxText(out), "<<b>>");
    EXPECT_TRUE(tagged.extractBetween(out, plxStr("<<"), 2, plxStr(">>"), 1, true, false));
    EXPECT_EQ(plxText(out), "<<b");
    EXPECT_TRUE(tagged.extractBetween(out, plxStr("<<"), 2, plxStr(">>"), 1, false, true));
    EXPECT_EQ(plxText(out), "b>>");
    EXPECT_FALSE(tagged.extractBetween(out, plxStr("["), 1, plxStr(">>"), 1, false, false));
}

TEST(WCharStringTest, ParseAndCutAt) {
    S path = plxStr("C:\\dir\\file.dll");
    S out;
    EXPECT_TRUE(path.parse(out, plxStr("\\"), 1, pmFromEnd, false));
    EXPECT_EQ(plxText(out), "file.dll");
    EXPECT_TRUE(path.parse(out, plxStr("\\"), 1, pmFromStart, true));
    EXPECT_EQ(plxText(out), "C:\\");
    EXPECT_TRUE(path.parse(out, plxStr("\\"), 1, pmFromEnd, true));
    EXPECT_EQ(plxText(out), "\\file.dll");
    EXPECT_TRUE(path.parse(out, plxStr("\\"), 2, pmFromStart, false));
    EXPECT_EQ(plxText(out), "C:\\dir");
    EXPECT_FALSE(path.parse(out, plxStr("/"), 1, pmFromEnd, false));
    EXPECT_TRUE(path.parse(path, plxStr("\\"), 1, pmFromEnd, false));
    EXPECT_EQ(plxText(path), "file.dll");

    S text = plxStr("a-b-c");
    EXPECT_TRUE(text.cutAt(plxStr("-"), 2, pmFromStart, false));
    EXPECT_EQ(plxText(text), "-c");
    text = plxStr("a-b-c");
    EXPECT_TRUE(text.cutAt(plxStr("-"), 2, pmFromEnd, true));
    EXPECT_EQ(plxText(text), "a");
    EXPECT_FALSE(text.cutAt(plxStr("a"), 1, 4, true));
}

TEST(WCharStringTest, SeparatedTokens) {
    S version = plxStr("8.30.1.5");
    S token;
    const char* expected[] = {"8", "30", "1", "5"};
    for (ULONG k = 1; k <= 4; ++k) {
        EXPECT_TRUE(version.getToken(token, plxStr("."), k, tmSeparated, 0, 0));
        EXPECT_EQ(plxText(token), expected[k - 1]);
    }
    EXPECT_FALSE(version.getToken(token, plxStr("."), 5, tmSeparated, 0, 0));

    EXPECT_TRUE(plxStr("8..1").getToken(token, plxStr("."), 2));
    EXPECT_FALSE(token.isValid());
    EXPECT_TRUE(plxStr("a,b").getToken(token, plxStr(";"), 1));
    EXPECT_EQ(plxText(token), "a,b");
    EXPECT_FALSE(plxStr("a,b").getToken(token, plxStr(";"), 2));
    EXPECT_FALSE(plxStr("a.b").getToken(token, plxStr("."), 1, 3, 0, 0));

    EXPECT_TRUE(plxStr("k = value ;x").getToken(token, plxStr("="), 2, tmSeparated, PLX_TRIM_BOTH, PLX_BLANK_SPACE));
    EXPECT_EQ(plxText(token), "value;x");
    S self = plxStr("p/q");
    EXPECT_TRUE(self.getToken(self, plxStr("/"), 2));
    EXPECT_EQ(plxText(self), "q");
}

TEST(WCharStringTest, EnclosedTokensAndSplit) {
    S text = plxStr("a \"b\" c \"d\"");
    S token;
    EXPECT_TRUE(text.getToken(token, plxStr("\""), 1, tmEnclosed, 0, 0));
    EXPECT_EQ(plxText(token), "b");
    EXPECT_TRUE(text.getToken(token, plxStr("\""), 2, tmEnclosed, 0, 0));
    EXPECT_EQ(plxText(token), " c ");
    EXPECT_TRUE(text.getToken(token, plxStr("\""), 3, tmEnclosed, 0, 0));
    EXPECT_EQ(plxText(token), "d");
    EXPECT_FALSE(text.getToken(token, plxStr("\""), 4, tmEnclosed, 0, 0));

    CPLXDblList<CPLXWCharString> list;
    EXPECT_TRUE(text.split(list, plxStr("\""), tmEnclosed, 0, 0));
    ASSERT_EQ(list.getCount(), 2u);
    EXPECT_TRUE(list.findTag(0));
    EXPECT_EQ(plxText(*list.getCurrentPointer()), "b");
    EXPECT_TRUE(list.findTag(1));
    EXPECT_EQ(plxText(*list.getCurrentPointer()), "d");

    EXPECT_TRUE(plxStr("x,,y").split(list, plxStr(","), tmSeparated, 0, 0));
    ASSERT_EQ(list.getCount(), 3u);
    EXPECT_TRUE(list.findTag(1));
    EXPECT_FALSE(list.getCurrentPointer()->isValid());
    EXPECT_TRUE(list.findTag(2));
    EXPECT_EQ(plxText(*list.getCurrentPointer()), "y");
    EXPECT_FALSE(S().split(list, plxStr(","), tmSeparated, 0, 0));
}

TEST(WCharStringTest, TokenNumberZeroIsReportedTwice) {
    PlxLoggingOn on("string_token_zero");
    S token;
    EXPECT_FALSE(plxStr("a.b").getToken(token, plxStr("."), 0));
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(plxCountEntries(entries, "( ulOccurrance ). ulOccurrance must be greater than 0"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "An unhandled exception occurred"), 1u);
}

TEST(WCharStringTest, Insert) {
    S text = plxStr("ab");
    EXPECT_TRUE(text.insert(plxStr("X"), 0));
    EXPECT_EQ(plxText(text), "Xab");
    text = plxStr("ab");
    EXPECT_TRUE(text.insert(plxStr("X"), 2));
    EXPECT_EQ(plxText(text), "abX");
    text = plxStr("ab");
    EXPECT_TRUE(text.insert(plxStr("XY"), 1));
    EXPECT_EQ(plxText(text), "aXYb");
    EXPECT_EQ(text.getNumElems(), 5u);
    EXPECT_TRUE(text.insert(text, 1));
    EXPECT_EQ(plxText(text), "aaXYbXYb");
    S empty;
    EXPECT_FALSE(empty.insert(plxStr("X"), 1));
    EXPECT_TRUE(empty.insert(plxStr("X"), 0));
    EXPECT_EQ(plxText(empty), "X");

    PlxLoggingOn on("string_insert");
    text = plxStr("ab");
    EXPECT_FALSE(text.insert(plxStr("X"), 3));
    EXPECT_FALSE(text.insert(S(), 0));
    EXPECT_EQ(plxText(text), "ab");
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_NE(entries[0].find("( ulPos ). position is out of string bounds"), std::string::npos);
    EXPECT_NE(entries[1].find("An unhandled exception occurred"), std::string::npos);
    EXPECT_NE(entries[2].find("( string ). can't insert an invalid string"), std::string::npos);
}

TEST(WCharStringTest, RemoveString) {
    S text = plxStr("xabyab");
    EXPECT_TRUE(text.removeString(plxStr("ab"), 0, ssmAll));
    EXPECT_EQ(plxText(text), "xy");
    text = plxStr("xabyab");
    EXPECT_TRUE(text.removeString(plxStr("ab"), 2, ssmOccur));
    EXPECT_EQ(plxText(text), "xaby");
    text = plxStr("ababab");
    EXPECT_TRUE(text.removeString(plxStr("ab"), 2, ssmNum));
    EXPECT_EQ(plxText(text), "ab");
    text = plxStr("aaaa");
    EXPECT_TRUE(text.removeString(plxStr("aa"), 0, ssmAll));
    EXPECT_FALSE(text.isValid());
    text = plxStr("abc");
    EXPECT_FALSE(text.removeString(plxStr("z"), 0, ssmAll));
    EXPECT_TRUE(text.removeString(text, 0, ssmAll));
    EXPECT_FALSE(text.isValid());

    PlxLoggingOn on("string_remove");
    text = plxStr("xabyab");
    EXPECT_FALSE(text.removeString(plxStr("ab"), 1, 3));
    EXPECT_FALSE(text.removeString(plxStr("ab"), 0, ssmOccur));
    EXPECT_FALSE(text.removeString(plxStr("ab"), 3, ssmNum));
    EXPECT_EQ(plxText(text), "xabyab");
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(plxCountEntries(entries, "( subStringMode ). invalid mode"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "( ulOccurrance ). ssmOccur mode requires ulOccurrance to be greater than 0"),
              1u);
    EXPECT_EQ(plxCountEntries(entries, "( ulOccurrance ). there aren't enough strings to accommodate ulOccurrance"),
              1u);
}

TEST(WCharStringTest, Replace) {
    S text = plxStr("Cannot copy %s.");
    EXPECT_TRUE(text.replace(plxStr("%s"), plxStr("name.dll"), 1, ssmOccur));
    EXPECT_EQ(plxText(text), "Cannot copy name.dll.");
    text = plxStr("aa");
    EXPECT_TRUE(text.replace(plxStr("a"), plxStr("ab"), 0, ssmAll));
    EXPECT_EQ(plxText(text), "abab");
    // A shorter replacement contained in the old text replaces every one.
    text = plxStr("ab-ab-ab");
    EXPECT_TRUE(text.replace(plxStr("ab"), plxStr("a"), 0, ssmAll));
    EXPECT_EQ(plxText(text), "a-a-a");
    text = plxStr("1.2.3.4");
    EXPECT_TRUE(text.replace(plxStr("."), plxStr(""), 2, ssmNum));
    EXPECT_EQ(plxText(text), "123.4");
    text = plxStr("x");
    EXPECT_TRUE(text.replace(plxStr("x"), plxStr("xx"), 0, ssmAll));
    EXPECT_EQ(plxText(text), "xx");
    EXPECT_TRUE(text.replace(text, plxStr("y"), 1, ssmOccur));
    EXPECT_EQ(plxText(text), "y");
    EXPECT_FALSE(text.replace(plxStr("q"), plxStr("r"), 0, ssmAll));

    PlxLoggingOn on("string_replace");
    text = plxStr("a%sb");
    EXPECT_FALSE(text.replace(plxStr("%s"), plxStr("x"), 2, ssmOccur));
    EXPECT_FALSE(text.replace(S(), plxStr("x"), 1, ssmOccur));
    EXPECT_EQ(plxText(text), "a%sb");
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_NE(entries[0].find("( ulOccurrance ). occurrance is out of bounds"), std::string::npos);
    EXPECT_NE(entries[1].find("( oldString ). string is invalid"), std::string::npos);
}

}  // namespace

namespace {

// Deterministic texts over a small alphabet, so that delimiters meet each
// other and the ends often.
std::string randomText(unsigned& seed, const char* szAlphabet, size_t alphabetSize) {
    seed = seed * 1103515245u + 12345u;
    size_t length = (seed >> 16) % 9;
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        seed = seed * 1103515245u + 12345u;
        text += szAlphabet[(seed >> 16) % alphabetSize];
    }
    return text;
}

TEST(WCharStringTest, TokensMatchAPlainSplit) {
    unsigned seed = 7;
    for (int round = 0; round < 400; ++round) {
        std::string text = randomText(seed, "ab.", 3);
        if (text.empty()) {
            continue;
        }
        std::vector<std::string> pieces(1);
        for (char c : text) {
            if (c == '.') {
                pieces.emplace_back();
            } else {
                pieces.back() += c;
            }
        }
        S source = plxStr(text.c_str());
        S token;
        for (size_t k = 1; k <= pieces.size(); ++k) {
            ASSERT_TRUE(source.getToken(token, plxStr("."), static_cast<ULONG>(k))) << text << " token " << k;
            EXPECT_EQ(plxText(token), pieces[k - 1].empty() ? "<invalid>" : pieces[k - 1]) << text << " token " << k;
        }
        EXPECT_FALSE(source.getToken(token, plxStr("."), static_cast<ULONG>(pieces.size() + 1))) << text;
    }
}

TEST(WCharStringTest, ReplaceAllMatchesAPlainReplacement) {
    unsigned seed = 11;
    const char* replacements[] = {"", "x", "ab", "b", "bb"};
    for (int round = 0; round < 400; ++round) {
        std::string text = randomText(seed, "ab", 2);
        std::string replacement = replacements[round % 5];
        std::string expected;
        for (char c : text) {
            expected += c == 'a' ? replacement : std::string(1, c);
        }
        S subject = plxStr(text.c_str());
        bool bHasA = text.find('a') != std::string::npos;
        EXPECT_EQ(subject.replace(plxStr("a"), plxStr(replacement.c_str()), 0, ssmAll), bHasA) << text;
        EXPECT_EQ(plxText(subject), expected.empty() ? "<invalid>" : expected) << text << " -> " << replacement;
    }
}

}  // namespace
