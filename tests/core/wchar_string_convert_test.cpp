// CPLXWCharString: character tests, case, trimming, numbers and ASCII code strings.
#include <gtest/gtest.h>

#include "plx_core_test_util.h"
#include "plx_wchar_string.h"

namespace {

typedef CPLXWCharString S;

TEST(WCharStringConvertTest, NumberTests) {
    EXPECT_TRUE(plxStr("-12").isNumber(true, false));
    EXPECT_TRUE(plxStr("-").isNumber(true, false));
    EXPECT_FALSE(plxStr("-12").isNumber(false, false));
    EXPECT_FALSE(plxStr("1.5").isNumber(true, false));
    EXPECT_TRUE(plxStr("1.5").isNumber(false, true));
    EXPECT_FALSE(plxStr(".5").isNumber(false, true));
    EXPECT_FALSE(plxStr("5.").isNumber(false, true));
    EXPECT_FALSE(plxStr("1.2.3").isNumber(false, true));
    EXPECT_FALSE(plxStr("1-2").isNumber(true, true));
    EXPECT_FALSE(S().isNumber(true, true));

    EXPECT_TRUE(plxStr("09afAF").isHexDigits());
    EXPECT_FALSE(plxStr("0g").isHexDigits());
    EXPECT_TRUE(plxStr("0101").isBinaryDigits());
    EXPECT_FALSE(plxStr("012").isBinaryDigits());
    EXPECT_TRUE(plxStr("01234567").isOctalDigits());
    EXPECT_FALSE(plxStr("8").isOctalDigits());
    EXPECT_FALSE(S().isHexDigits());
    S zeros;
    zeros.allocate(2);
    EXPECT_TRUE(zeros.isHexDigits());
}

TEST(WCharStringConvertTest, NotationTests) {
    for (const char* szYes : {"0x1F", "1Fh", "0X1f", "0xff", "ABH"}) {
        EXPECT_TRUE(plxStr(szYes).isHexNotation()) << szYes;
    }
    for (const char* szNo : {"1F", "0x1Fh", "0xx1", "x1F", "10x1", "h", "1hh", "0x1g"}) {
        EXPECT_FALSE(plxStr(szNo).isHexNotation()) << szNo;
    }
    for (const char* szYes : {"0b101", "101B", "0B1"}) {
        EXPECT_TRUE(plxStr(szYes).isBinaryNotation()) << szYes;
    }
    // A prefix needs its leading 0: "1b01" is no binary number.
    for (const char* szNo : {"1b0b", "b", "101", "1b01", "0b2"}) {
        EXPECT_FALSE(plxStr(szNo).isBinaryNotation()) << szNo;
    }
    EXPECT_TRUE(plxStr("0o17").isOctalNotation());
    EXPECT_TRUE(plxStr("17O").isOctalNotation());
    EXPECT_FALSE(plxStr("18o").isOctalNotation());
}

TEST(WCharStringConvertTest, RemoveNotationMarker) {
    S text = plxStr("0b101");
    EXPECT_TRUE(text.removeNotationMarker());
    EXPECT_EQ(plxText(text), "101");
    text = plxStr("17o");
    EXPECT_TRUE(text.removeNotationMarker());
    EXPECT_EQ(plxText(text), "17");
    text = plxStr("0XAB");
    EXPECT_TRUE(text.removeNotationMarker());
    EXPECT_EQ(plxText(text), "AB");
    text = plxStr("ABh");
    EXPECT_TRUE(text.removeNotationMarker());
    EXPECT_EQ(plxText(text), "AB");
    text = plxStr("AB");
    EXPECT_FALSE(text.removeNotationMarker());
    EXPECT_EQ(plxText(text), "AB");
}

TEST(WCharStringConvertTest, CaseAndReversal) {
    CPLXBuffer<unsigned short> raw(3);
    raw[0] = 0xC4;  // A with diaeresis
    raw[1] = 'B';
    raw[2] = 'C';
    S text(raw);
    EXPECT_TRUE(text.toLower());
    EXPECT_EQ(text[0], 0xC4);
    EXPECT_EQ(plxText(text.withoutFirst(1)), "bc");
    EXPECT_FALSE(S().toLower());

    text = plxStr("abc");
    EXPECT_TRUE(text.reverse());
    EXPECT_EQ(plxText(text), "cba");
    text = plxStr("abcd");
    EXPECT_TRUE(text.reverse());
    EXPECT_EQ(plxText(text), "dcba");
    text = plxStr("a");
    EXPECT_TRUE(text.reverse());
    EXPECT_EQ(plxText(text), "a");
    EXPECT_FALSE(S().reverse());
}

TEST(WCharStringConvertTest, FindNonBlank) {
    S text = plxStr(" \t x \r");
    ULONG ulPos = 0;
    EXPECT_TRUE(text.findNonBlank(0x03, pmFromStart, ulPos));
    EXPECT_EQ(ulPos, 3u);
    EXPECT_TRUE(text.findNonBlank(0x41, pmFromEnd, ulPos));
    EXPECT_EQ(ulPos, 3u);
    EXPECT_TRUE(text.findNonBlank(0x01, pmFromStart, ulPos));  // the tab is not selected
    EXPECT_EQ(ulPos, 1u);
    EXPECT_FALSE(plxStr("  ").findNonBlank(0x01, pmFromStart, ulPos));
    EXPECT_FALSE(text.findNonBlank(0x01, 3, ulPos));
}

TEST(WCharStringConvertTest, Trim) {
    S text = plxStr("  a b  ");
    EXPECT_TRUE(text.trim(PLX_TRIM_LEADING, PLX_BLANK_SPACE));
    EXPECT_EQ(plxText(text), "a b  ");
    text = plxStr("  a b  ");
    EXPECT_TRUE(text.trim(PLX_TRIM_TRAILING, PLX_BLANK_SPACE));
    EXPECT_EQ(plxText(text), "  a b");
    text = plxStr("  a b  ");
    EXPECT_TRUE(text.trim(PLX_TRIM_BOTH, PLX_BLANK_SPACE));
    EXPECT_EQ(plxText(text), "ab");
    text = plxStr("   ");
    EXPECT_TRUE(text.trim(PLX_TRIM_LEADING, PLX_BLANK_SPACE));
    EXPECT_EQ(plxText(text), " ");
    text = plxStr("   ");
    EXPECT_TRUE(text.trim(PLX_TRIM_BOTH, PLX_BLANK_SPACE));
    EXPECT_FALSE(text.isValid());
    text = plxStr(" \ta\t ");
    EXPECT_TRUE(text.trim(PLX_TRIM_BOTH, PLX_BLANK_SPACE));  // tabs not selected
    EXPECT_EQ(plxText(text), "\ta\t");
    EXPECT_TRUE(text.trim(0, PLX_BLANK_ALL));
    EXPECT_TRUE(text.trim(PLX_TRIM_BOTH, 0));
    EXPECT_EQ(plxText(text), "\ta\t");
    S invalid;
    EXPECT_TRUE(invalid.trim(PLX_TRIM_BOTH, PLX_BLANK_ALL));
}

TEST(WCharStringConvertTest, StripLeavesInnerBlanks) {
    S text = plxStr("\t 4 2 \r\n");
    EXPECT_TRUE(text.strip(TEXT(' '), PLX_TRIM_BOTH, PLX_BLANK_ALL));
    EXPECT_EQ(plxText(text), "4 2");
    text = plxStr("--x--");
    EXPECT_TRUE(text.strip(TEXT('-'), PLX_TRIM_TRAILING, 0));
    EXPECT_EQ(plxText(text), "--x");
    EXPECT_EQ(text.getNumElems(), 6u);  // ending the string early does not compact it
    EXPECT_TRUE(text.strip(TEXT('-'), PLX_TRIM_LEADING, 0));
    EXPECT_EQ(plxText(text), "x");
    EXPECT_FALSE(S().strip(TEXT(' '), PLX_TRIM_BOTH, PLX_BLANK_ALL));
}

TEST(WCharStringConvertTest, Formatting) {
    EXPECT_EQ(plxText(S(5UL, nsBin, 8, true)), "0b00000101");
    EXPECT_EQ(plxText(S(4660UL, nsHex, 2, false)), "34");
    EXPECT_EQ(plxText(S(255UL, nsHex, 0, true)), "0xFF");
    EXPECT_EQ(plxText(S(8UL, nsOct, 0, true)), "0o10");
    EXPECT_EQ(plxText(S(0UL, nsHex)), "0");
    EXPECT_EQ(plxText(S(10UL, nsHex, 8, true)), "0x0000000A");
    EXPECT_EQ(plxText(S(0xFFFFFFFFUL, nsOct)), "37777777777");
    EXPECT_EQ(plxText(S(0x80000000UL, nsBin)), "10000000000000000000000000000000");
    EXPECT_EQ(plxText(S(4294967295UL, nsDec, 5, true)), "-1");
    EXPECT_EQ(plxText(S(-45)), "-45");
    EXPECT_EQ(plxText(S(0)), "0");
    EXPECT_EQ(plxText(S(static_cast<LONG>(-2147483647 - 1))), "-2147483648");
    EXPECT_EQ(plxText(S(static_cast<LONG>(2147483647))), "2147483647");
}

TEST(WCharStringConvertTest, UnsupportedNumberSystemThrowsAfterReporting) {
    PlxLoggingOn on("string_number_system");
    EXPECT_THROW(S(1UL, 16, 0, false), CPLXBufferInitException);
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(plxCountEntries(entries, "( asNumberSystem ). mode isn't supported, must be hex,bin,or oct"), 1u);
    EXPECT_GE(plxCountEntries(entries, "Unable to initialize CPLXBuffer"), 1u);
}

ULONG parsed(const char* szText, ULONG asNumberSystem, bool bExpected = true) {
    ULONG ulValue = 0xDEADBEEF;
    EXPECT_EQ(plxStr(szText).toNumber(ulValue, asNumberSystem), bExpected) << szText;
    return ulValue;
}

TEST(WCharStringConvertTest, ParsingHexOctalAndBinary) {
    EXPECT_EQ(parsed(" 0xFF ", nsHex), 255u);
    EXPECT_EQ(parsed("1fh", nsHex), 31u);
    EXPECT_EQ(parsed("FFFFFFFF", nsHex), 0xFFFFFFFFu);
    EXPECT_EQ(parsed("0x0000000A", nsHex), 10u);
    // The marker step takes the first notation the text carries, binary first.
    EXPECT_EQ(parsed("101b", nsHex), 0x101u);
    EXPECT_EQ(parsed("0b11", nsHex), 0x11u);
    EXPECT_EQ(parsed("0B", nsHex, false), 0xDEADBEEFu);  // nothing left after the marker
    EXPECT_EQ(parsed("1A", nsHex), 0x1Au);
    EXPECT_EQ(parsed("0g", nsHex, false), 0xDEADBEEFu);
    EXPECT_EQ(parsed("   ", nsHex, false), 0xDEADBEEFu);
    EXPECT_EQ(parsed("0x", nsHex, false), 0xDEADBEEFu);

    EXPECT_EQ(parsed("101b", nsBin), 5u);
    EXPECT_EQ(parsed("0b11", nsBin), 3u);
    EXPECT_EQ(parsed("11111111111111111111111111111111", nsBin), 0xFFFFFFFFu);
    EXPECT_EQ(parsed("12", nsBin, false), 0xDEADBEEFu);

    EXPECT_EQ(parsed("17", nsOct), 15u);
    EXPECT_EQ(parsed("0o17", nsOct), 15u);
    EXPECT_EQ(parsed("777777777777", nsOct), 0xFFFFFFFFu);  // 12 digits, kept modulo 2^32
    EXPECT_EQ(parsed("8", nsOct, false), 0xDEADBEEFu);
    EXPECT_EQ(parsed("1", 16, false), 0xDEADBEEFu);
}

TEST(WCharStringConvertTest, ParsingDecimalLikeTheCLibrary) {
    EXPECT_EQ(parsed("830", nsDec), 830u);
    EXPECT_EQ(parsed("-2", nsDec), 4294967294u);
    EXPECT_EQ(parsed(" \t 34\r\n", nsDec), 34u);
    EXPECT_EQ(parsed("2147483647", nsDec), 2147483647u);
    EXPECT_EQ(parsed("99999999999999999999", nsDec), 2147483647u);
    EXPECT_EQ(parsed("-2147483648", nsDec), 0x80000000u);
    EXPECT_EQ(parsed("-99999999999", nsDec), 0x80000000u);
    EXPECT_EQ(parsed("8.30", nsDec, false), 0xDEADBEEFu);
    EXPECT_EQ(parsed("12a", nsDec, false), 0xDEADBEEFu);
    EXPECT_EQ(parsed("-", nsDec, false), 0xDEADBEEFu);
    EXPECT_EQ(parsed("+5", nsDec, false), 0xDEADBEEFu);
}

TEST(WCharStringConvertTest, DigitLimitsAreReportedTwice) {
    PlxLoggingOn on("string_digit_limits");
    EXPECT_EQ(parsed("123456789", nsHex, false), 0xDEADBEEFu);
    EXPECT_EQ(parsed("1234567012345", nsOct, false), 0xDEADBEEFu);
    EXPECT_EQ(parsed("101010101010101010101010101010101", nsBin, false), 0xDEADBEEFu);
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(
        plxCountEntries(entries, "( this string ). too many hex digits in string - will overflow unsigned long value"),
        1u);
    EXPECT_EQ(plxCountEntries(entries,
                              "( this string ). too many octal digits in string - will overflow unsigned long value"),
              1u);
    EXPECT_EQ(
        plxCountEntries(entries, "( this ). too many binary digits in string - will overflow unsigned long value"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "An unhandled exception occurred"), 3u);
}

std::vector<unsigned char> bytesOf(const CPLXBuffer<unsigned char>& buffer) {
    if (buffer.getNumElems() == 0) {
        return {};
    }
    return std::vector<unsigned char>(buffer.getBuffer(), buffer.getBuffer() + buffer.getNumElems());
}

TEST(WCharStringConvertTest, AsciiCodeStrings) {
    EXPECT_EQ(plxText(plxStr("AB").getAsciiCodeString()), "41 00 42 00 00 00");
    EXPECT_EQ(plxText(plxStr("A").getAsciiCodeString()), "41 00 00 00");
    EXPECT_FALSE(S().getAsciiCodeString().isValid());
    CPLXBuffer<unsigned short> raw(1);
    raw[0] = 0x1B0B;
    EXPECT_EQ(plxText(S(raw).getAsciiCodeString()), "0B 1B 00 00");

    typedef std::vector<unsigned char> Bytes;
    EXPECT_EQ(bytesOf(plxStr("41 00 00 00").getBufferFromAsciiCodeString()), (Bytes{0x41, 0, 0, 0}));
    EXPECT_EQ(bytesOf(plxStr("0B 1B ff").getBufferFromAsciiCodeString()), (Bytes{0x0B, 0x1B, 0xFF}));
    EXPECT_EQ(bytesOf(plxStr("0B 1B ").getBufferFromAsciiCodeString()), (Bytes{0x0B, 0x1B}));
    EXPECT_EQ(bytesOf(S().getBufferFromAsciiCodeString()), Bytes{});
    // A pair that is no hexadecimal byte spoils the text.
    EXPECT_EQ(bytesOf(plxStr("41 zz 42").getBufferFromAsciiCodeString()), Bytes{});

    // The units of a string come back as their bytes, terminator included.
    CPLXBuffer<unsigned short> all(128);
    for (ULONG i = 0; i < 128; ++i) {
        all[i] = static_cast<unsigned short>((2 * i) | ((2 * i + 1) << 8));
    }
    std::vector<unsigned char> decoded = bytesOf(S(all).getAsciiCodeString().getBufferFromAsciiCodeString());
    ASSERT_EQ(decoded.size(), 258u);
    for (ULONG b = 0; b < 256; ++b) {
        EXPECT_EQ(decoded[b], b);
    }
    EXPECT_EQ(decoded[256], 0);
    EXPECT_EQ(decoded[257], 0);
}

TEST(WCharStringConvertTest, EveryByteValueRoundTrips) {
    S encoded;
    for (ULONG b = 0; b < 256; ++b) {
        if (b != 0) {
            encoded += plxStr(" ");
        }
        encoded += S(b, nsHex, 2, false);
    }
    std::vector<unsigned char> decoded = bytesOf(encoded.getBufferFromAsciiCodeString());
    ASSERT_EQ(decoded.size(), 256u);
    for (ULONG b = 0; b < 256; ++b) {
        EXPECT_EQ(decoded[b], b);
    }
}

TEST(WCharStringConvertTest, OddLastCharacterIsReported) {
    PlxLoggingOn on("string_ascii_odd");
    std::vector<unsigned char> decoded = bytesOf(plxStr("41 4").getBufferFromAsciiCodeString());
    EXPECT_EQ(decoded, std::vector<unsigned char>{0x41});
    EXPECT_EQ(plxCountEntries(on.entries(), "( ulStartPos ). start position is past the end of the string"), 1u);
}

}  // namespace
