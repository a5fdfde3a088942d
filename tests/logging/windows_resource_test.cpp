// Resource strings of the running executable (tests/support/test_strings.rc).
#include <gtest/gtest.h>

#include "plx_log_test_env.h"
#include "plx_windows_resource.h"

namespace {

TEST(WindowsResourceTest, ModuleIsTheRunningExecutable) {
    CPLXWindowsResource resource;
    EXPECT_NE(resource.getModule(), nullptr);
    EXPECT_EQ(resource.getModule(), GetModuleHandleW(nullptr));
}

TEST(WindowsResourceTest, LoadsTexts) {
    CPLXWindowsResource resource;
    CPLXWCharString text;
    ASSERT_TRUE(resource.loadString(100, text));
    EXPECT_EQ(plxNarrow(text), "Hello");

    ASSERT_TRUE(resource.loadString(103, text));
    const WCHAR expected[] = {'G', 'r', 0x00FC, 0x00DF, 'e', 0};
    EXPECT_EQ(lstrcmpW(text.c_str(), expected), 0);
    EXPECT_EQ(text.getLength(), 5u);

    ASSERT_TRUE(resource.loadString(104, text));
    EXPECT_EQ(plxNarrow(text), "Say \"Hi\"\tnow");
}

TEST(WindowsResourceTest, TextsAreCutAt1023Characters) {
    CPLXWindowsResource resource;
    CPLXWCharString whole;
    ASSERT_TRUE(resource.loadString(101, whole));
    EXPECT_EQ(whole.getLength(), 1023u);
    EXPECT_EQ(plxNarrow(whole).substr(0, 12), "L0000 L0001 ");

    CPLXWCharString cut;
    ASSERT_TRUE(resource.loadString(102, cut));
    EXPECT_EQ(cut.getLength(), 1023u);
    EXPECT_EQ(plxNarrow(cut).substr(0, 6), "M0000 ");
}

TEST(WindowsResourceTest, MissingStringIsReportedAndLeavesTheTarget) {
    PlxLoggingOn on("resourcemissing");
    CPLXWindowsResource resource;
    CPLXWCharString text(TEXT("before"));
    SetLastError(0);
    EXPECT_FALSE(resource.loadString(4242, text));
    EXPECT_EQ(plxNarrow(text), "before");
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NE(entries[0].find("<EXCEPTION_BAD>"), std::string::npos) << entries[0];
    EXPECT_NE(entries[0].find("\"Unable to load string ( ID: 4242 ) from resource DLL ( Unknown resource DLL )\""),
              std::string::npos)
        << entries[0];
    EXPECT_NE(entries[0].find("<plx_windows_resource.cpp, "), std::string::npos) << entries[0];
}

}  // namespace
