// Flag sets: hasFlags, getIndex and comparison, and their traces.
#include <gtest/gtest.h>

#include "../logging/plx_log_test_env.h"
#include "plx_flags.h"

namespace {

TEST(FlagsTest, HasFlagsNeedsEveryBitOfTheMask) {
    CPLXFlags flags(0x0A);
    EXPECT_TRUE(flags.hasFlags(0));
    EXPECT_TRUE(CPLXFlags(0).hasFlags(0));
    EXPECT_TRUE(flags.hasFlags(0x08));
    EXPECT_TRUE(flags.hasFlags(0x0A));
    EXPECT_FALSE(flags.hasFlags(0x0B));
    EXPECT_FALSE(flags.hasFlags(0x04));
    EXPECT_TRUE(CPLXFlags(0xFFFFFFFF).hasFlags(0x80000001));
}

TEST(FlagsTest, GetIndexGivesTheHighestBitOfTheMask) {
    ULONG ulIndex = 99;
    CPLXFlags flags(0x0A);
    EXPECT_TRUE(flags.getIndex(0x08, ulIndex));
    EXPECT_EQ(ulIndex, 3u);
    ulIndex = 99;
    EXPECT_FALSE(flags.getIndex(0x04, ulIndex));
    EXPECT_FALSE(flags.getIndex(0, ulIndex));
    EXPECT_EQ(ulIndex, 99u);
    EXPECT_TRUE(flags.getIndex(0x02, ulIndex));
    EXPECT_EQ(ulIndex, 1u);
    EXPECT_TRUE(CPLXFlags(0x06).getIndex(0x06, ulIndex));
    EXPECT_EQ(ulIndex, 2u);
    EXPECT_TRUE(CPLXFlags(1).getIndex(1, ulIndex));
    EXPECT_EQ(ulIndex, 0u);
    EXPECT_TRUE(CPLXFlags(0x80000000).getIndex(0x80000000, ulIndex));
    EXPECT_EQ(ulIndex, 31u);
    // The policy locations: all six bits, the highest counts.
    EXPECT_TRUE(CPLXFlags(63).getIndex(32, ulIndex));
    EXPECT_EQ(ulIndex, 5u);
    EXPECT_FALSE(CPLXFlags(63).getIndex(64, ulIndex));
}

TEST(FlagsTest, AssignmentAndComparison) {
    CPLXFlags a(5);
    CPLXFlags b(6);
    EXPECT_TRUE(a != b);
    b = a;
    EXPECT_FALSE(a != b);
    EXPECT_EQ(b.getFlags(), 5u);
    CPLXFlags c(a);
    EXPECT_EQ(c.getFlags(), 5u);
}

TEST(FlagsTest, OperationsAreTraced) {
    PlxLoggingOn on("flags", 0x031B);
    on.tracesOn();
    CPLXFlags flags(0x0A);
    flags.hasFlags(0x08);
    flags.hasFlags(0x04);
    ULONG ulIndex = 0;
    flags.getIndex(0x04, ulIndex);
    std::string app = "<" + plxExpectedAppName() + "> ";
    std::vector<std::string> entries = on.entries();
    // Source and line end each line; check all but them.
    std::vector<std::string> expected = {
        "<ENTRY> " + app + "<CPLXFlags::CPLXFlags> ",
        "<EXIT> " + app + "<CPLXFlags::CPLXFlags> <Passed> ",
        "<ENTRY> " + app + "<CPLXFlags::hasFlags> ",
        "<EXIT> " + app + "<CPLXFlags::hasFlags> <Passed> ",
        "<ENTRY> " + app + "<CPLXFlags::hasFlags> ",
        "<EXIT> " + app + "<CPLXFlags::hasFlags> <Failed Logical Result> ",
        "<ENTRY> " + app + "<CPLXFlags::getIndex> ",
        "<ENTRY> " + app + "<CPLXFlags::hasFlags> ",
        "<EXIT> " + app + "<CPLXFlags::hasFlags> <Failed Logical Result> ",
        "<EXIT> " + app + "<CPLXFlags::getIndex> <Failed> ",
    };
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        size_t source = entries[i].rfind("<plx_flags.cpp, ");
        ASSERT_NE(source, std::string::npos) << entries[i];
        EXPECT_EQ(entries[i].substr(0, source), expected[i]);
    }
}

}  // namespace
