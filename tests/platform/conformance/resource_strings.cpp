// LoadStringW with the test string table (tests/support/test_strings.rc):
// 100 "Hello", 101 1023 characters, 102 1100 characters, 103 "Grüße",
// 104 Say "Hi"<tab>now.
#include "file_conformance.h"

using namespace conf;

namespace {
HINSTANCE self() { return GetModuleHandleW(nullptr); }
}  // namespace

TEST(ResourceStrings, LoadsIntoBuffer) {
    WCHAR buffer[2048];
    EXPECT_EQ(5, LoadStringW(self(), 100, buffer, 2048));
    EXPECT_EQ("Hello", plxNarrow(buffer));
    EXPECT_EQ(12, LoadStringW(self(), 104, buffer, 2048));
    EXPECT_EQ("Say \"Hi\"\tnow", plxNarrow(buffer)) << "\"\" is a quote, \\t a tab";
    EXPECT_EQ(5, LoadStringW(self(), 103, buffer, 2048));
    EXPECT_EQ(
        "Gr\xC3\xBC\xC3\x9F"
        "e",
        plxNarrow(buffer))
        << "non-ASCII text survives";
}

TEST(ResourceStrings, LongTextsAndTruncation) {
    WCHAR buffer[2048];
    EXPECT_EQ(1023, LoadStringW(self(), 101, buffer, 2048));
    EXPECT_EQ(1100, LoadStringW(self(), 102, buffer, 2048));
    EXPECT_EQ(1100, lstrlenW(buffer));
    EXPECT_EQ(1023, LoadStringW(self(), 102, buffer, 1024)) << "cchBufferMax - 1 characters";
    EXPECT_EQ(1023, lstrlenW(buffer));
    EXPECT_EQ(0, buffer[1023]);
    EXPECT_EQ(4, LoadStringW(self(), 100, buffer, 5));
    EXPECT_EQ("Hell", plxNarrow(buffer));
}

TEST(ResourceStrings, ZeroSizeGivesReadOnlyPointer) {
    const WCHAR* text = nullptr;
    int n = LoadStringW(self(), 100, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_EQ(5, n);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ("Hello", plxNarrow(Text(text, n)));
}

TEST(ResourceStrings, MissingIdGivesZero) {
    WCHAR buffer[16];
    lstrcpyW(buffer, TEXT("foo"));
    SetLastError(0);
    EXPECT_EQ(0, LoadStringW(self(), 9999, buffer, 16));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
}
