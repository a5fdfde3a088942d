// CPLXDirectory: which paths name a directory, and level-by-level creation;
// CPLXSystemInfo: the storage folder below the common application data.
#include <gtest/gtest.h>

#include <string>

#include "../logging/plx_log_test_env.h"
#include "../registry/registry_test_env.h"
#include "plx_directory.h"
#include "plx_systeminfo.h"
#include "plx_test_machine.h"

namespace {

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override { m_machine.file("C:\\plxtest\\dirs\\file.txt", "x").create(); }
    void TearDown() override {
        for (const char* path : {"C:\\plxtest\\dirs\\new\\deeper", "C:\\plxtest\\dirs\\new", "C:\\plxtest\\dirs"})
            RemoveDirectoryW(plxW(path).c_str());
    }
    TestMachine m_machine;
};

}  // namespace

TEST_F(DirectoryTest, WhichPathsAreDirectories) {
    CPLXDirectory directory(plxStr("C:\\plxtest"));
    const struct {
        const char* path;
        bool bDirectory;
    } cases[] = {{"C:", true},
                 {"C:\\", true},
                 {"C:\\plxtest\\dirs", true},
                 {"C:\\plxtest\\dirs\\", true},
                 {"C:\\plxtest\\dirs\\file.txt", false},
                 {"C:\\plxtest\\missing", false},
                 {"C", false}};
    for (const auto& c : cases) EXPECT_EQ(c.bDirectory, directory.isValidWindowsDirectory(plxStr(c.path))) << c.path;
    EXPECT_TRUE(directory.isValidDirectory());
}

TEST_F(DirectoryTest, CreatesTheMissingLevelsOnly) {
    CPLXDirectory existing(plxStr("C:\\plxtest\\dirs"));
    EXPECT_FALSE(existing.createDirectory()) << "nothing to create";
    CPLXDirectory deep(plxStr("C:\\plxtest\\dirs\\new\\deeper"));
    EXPECT_TRUE(deep.createDirectory());
    EXPECT_TRUE(deep.isValidDirectory());
    // A file in the way stops the creation at its level.
    CPLXDirectory blocked(plxStr("C:\\plxtest\\dirs\\file.txt\\below\\"));
    EXPECT_FALSE(blocked.createDirectory());
    EXPECT_FALSE(blocked.isValidDirectory());
}

TEST(SystemInfoTest, StorageFolderIsMadeOnceBelowTheCommonApplicationData) {
    TestMachine machine;
    machine.create();
    WCHAR szCommon[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, szCommon));
    const std::string expected = plxNarrow(szCommon, lstrlenW(szCommon)) + "\\Orvane\\";
    RemoveDirectoryW(plxW(expected.c_str()).c_str());

    CPLXSystemInfo info;
    CPLXWCharString path;
    ASSERT_TRUE(info.getStoragePath(path));
    EXPECT_EQ(expected, plxNarrow(path));
    EXPECT_TRUE(CPLXDirectory(path).isValidDirectory());
    CPLXWCharString again;
    EXPECT_TRUE(info.getStoragePath(again));
    EXPECT_EQ(expected, plxNarrow(again));
    if (TestMachine::canSetMachineIni()) {
        EXPECT_EQ("C:\\ProgramData\\Orvane\\", expected);
    }
    RemoveDirectoryW(plxW(expected.c_str()).c_str());
}

TEST(SystemInfoTest, UnknownStorageKindIsRefused) {
    PlxLoggingOn logging("StorageKind");
    CPLXSystemInfo info(7);
    CPLXWCharString path(TEXT("kept"));
    EXPECT_FALSE(info.getStoragePath(path));
    EXPECT_EQ("kept", plxNarrow(path));
    EXPECT_TRUE(plxLogHas(logging.lines(), {"A bad argument was provided ( m_ulStorageKind )"}));
}
