// lstr* and wsprintfW as the library formats its messages with them.
#include "file_conformance.h"

using namespace conf;

namespace {

// wsprintfW is variadic: a macro keeps the arguments' types as the caller wrote them.
#define FORMAT(expected, ...)                                              \
    do {                                                                   \
        WCHAR out_[1100];                                                  \
        int n_ = wsprintfW(out_, __VA_ARGS__);                             \
        EXPECT_EQ(std::string(expected), plxNarrow(out_)) << #__VA_ARGS__; \
        EXPECT_EQ(static_cast<int>(plxNarrow(out_).size()), n_);           \
    } while (0)

}  // namespace

TEST(TextFunctions, LstrlenAndCopies) {
    EXPECT_EQ(0, lstrlenW(nullptr));
    EXPECT_EQ(0, lstrlenW(TEXT("")));
    EXPECT_EQ(5, lstrlenW(TEXT("Hello")));

    WCHAR buffer[16];
    EXPECT_EQ(buffer, lstrcpyW(buffer, TEXT("abc")));
    EXPECT_EQ("abc", plxNarrow(buffer));
    EXPECT_EQ(buffer, lstrcatW(buffer, TEXT("def")));
    EXPECT_EQ("abcdef", plxNarrow(buffer));

    EXPECT_EQ(buffer, lstrcpynW(buffer, TEXT("123456"), 4));
    EXPECT_EQ("123", plxNarrow(buffer)) << "iMaxLength counts the terminator";
    lstrcpynW(buffer, TEXT("12"), 10);
    EXPECT_EQ("12", plxNarrow(buffer));
    buffer[0] = 'x';
    lstrcpynW(buffer, TEXT("12"), 1);
    EXPECT_EQ(0, buffer[0]) << "a 1-character buffer holds only the terminator";
}

TEST(TextFunctions, Comparisons) {
    EXPECT_EQ(0, lstrcmpW(TEXT("abc"), TEXT("abc")));
    EXPECT_LT(lstrcmpW(TEXT("abc"), TEXT("abd")), 0);
    EXPECT_GT(lstrcmpW(TEXT("abd"), TEXT("abc")), 0);
    EXPECT_LT(lstrcmpW(TEXT("abc"), TEXT("abcd")), 0);
    EXPECT_LT(lstrcmpW(TEXT("a"), TEXT("B")), 0) << "word sort, not code units";
    EXPECT_LT(lstrcmpW(TEXT("a"), TEXT("A")), 0) << "lower case first when otherwise equal";
    EXPECT_NE(0, lstrcmpW(TEXT("abc"), TEXT("ABC")));
    EXPECT_LT(lstrcmpW(TEXT("1"), TEXT("a")), 0) << "digits before letters";

    EXPECT_EQ(0, lstrcmpiW(TEXT("Program Files"), TEXT("PROGRAM FILES")));
    EXPECT_LT(lstrcmpiW(TEXT("a"), TEXT("B")), 0);
    EXPECT_GT(lstrcmpiW(TEXT("b"), TEXT("A")), 0);
    EXPECT_EQ(0, lstrcmpiW(TEXT(""), TEXT("")));
    EXPECT_LT(lstrcmpiW(TEXT(""), TEXT("a")), 0);
}

TEST(TextFunctions, WsprintfConversions) {
    FORMAT("Unable to create registry key ( \"Software\\Orvane\" )", TEXT("Unable to create registry key ( \"%s\" )"),
           TEXT("Software\\Orvane"));
    FORMAT("-42 42 4294967254", TEXT("%d %i %u"), -42, 42, -42);
    FORMAT("ff FF 000000ff 0xff", TEXT("%x %X %08x %#x"), 255, 255, 255, 255);
    FORMAT("[  7] [7  ] [007]", TEXT("[%3d] [%-3d] [%03d]"), 7, 7, 7);
    FORMAT("-2147483648 4294967295 7fffffff", TEXT("%ld %lu %lx"), static_cast<LONG>(0x80000000u), 0xFFFFFFFFu,
           0x7FFFFFFF);
    FORMAT("c%", TEXT("%c%%"), static_cast<WCHAR>('c'));
    FORMAT("ab", TEXT("%.2s"), TEXT("abc"));
    FORMAT("[  ab]", TEXT("[%4s]"), TEXT("ab"));
    FORMAT("wide narrow", TEXT("%ls %hs"), TEXT("wide"), "narrow");
    FORMAT("0005", TEXT("%.4d"), 5);
}

TEST(TextFunctions, WsprintfStopsAt1024Characters) {
    // The text is cut to 1023 characters and the terminator.  The count for a
    // cut text is 1023 on the simulated machine and 1024 under Wine (also for
    // a text of exactly 1023 characters): callers must not rely on it.
    Text long_(1500, static_cast<WCHAR>('a'));
    WCHAR out[1600];
    for (WCHAR& c : out) c = static_cast<WCHAR>('#');
    int n = wsprintfW(out, TEXT("%s"), long_.c_str());
    EXPECT_TRUE(n == 1023 || n == 1024) << n;
    EXPECT_EQ(1023, lstrlenW(out));
    EXPECT_EQ(static_cast<WCHAR>('#'), out[1024]) << "nothing written after the terminator";

    Text exact(1023, static_cast<WCHAR>('b'));
    n = wsprintfW(out, TEXT("%sxy"), exact.c_str());
    EXPECT_TRUE(n == 1023 || n == 1024) << n;
    EXPECT_EQ(1023, lstrlenW(out));
    EXPECT_EQ(1022, wsprintfW(out, TEXT("%s"), exact.substr(1).c_str())) << "shorter texts are whole";
}

TEST(TextFunctions, WsprintfSizePrefixes) {
    FORMAT("123450067890A", TEXT("%I64X"), (static_cast<ULONGLONG>(0x12345) << 32) | 0x67890a);
    FORMAT("67890A", TEXT("%I32X"), 0x67890a);
    FORMAT("-1", TEXT("%I64d"), static_cast<LONGLONG>(-1));
    FORMAT("-000000001", TEXT("%010ld"), -1);
}
