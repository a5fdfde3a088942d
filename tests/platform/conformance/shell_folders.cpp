// The shell's folders: SHGetFolderPathW for the application data of all users.
#include "file_conformance.h"
#include "plx_test_machine.h"

using namespace conf;

namespace {

// The common application data folder of a Windows version: C:\ProgramData
// from Windows Vista (6.0) on, the All Users profile's before.
Text commonAppData(DWORD major) {
    return plxW(major >= 6 ? "C:\\ProgramData" : "C:\\Documents and Settings\\All Users\\Application Data");
}

}  // namespace

TEST(ShellFolders, CommonAppDataOfThisWindows) {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExW(&version));
    WCHAR path[MAX_PATH] = {'#', 0};
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path));
    EXPECT_EQ(commonAppData(version.dwMajorVersion), Text(path)) << "no trailing backslash";
}

TEST(ShellFolders, UnknownCsidlIsAnInvalidArgument) {
    WCHAR path[MAX_PATH] = {'#', 0};
    EXPECT_EQ(E_INVALIDARG, SHGetFolderPathW(nullptr, 0xeeee, nullptr, SHGFP_TYPE_CURRENT, path));
    EXPECT_EQ(0, path[0]) << "the path is empty on failure";
}

TEST(ShellFolders, CommonAppDataOnEachWindowsVersion) {
    if (!TestMachine::canSetMachineIni()) GTEST_SKIP() << "needs the Windows version of machine.ini";
    struct Row {
        const char* version;
        DWORD major;
        bool madeForTests;  // whether a machine made for tests has the folder
    };
    const Row rows[] = {{"5.1", 5, false}, {"6.0", 6, true}, {"6.1", 6, true}, {"10.0", 10, true}};
    for (const Row& row : rows) {
        TestMachine m;
        m.ini("Windows", "Version", row.version).create();
        WCHAR path[MAX_PATH] = {'#', 0};
        if (!row.madeForTests) {
            // A folder that is not there is made only when asked.
            EXPECT_EQ(E_FAIL, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path));
            EXPECT_EQ(0, path[0]);
        }
        EXPECT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                         path))
            << row.version;
        EXPECT_EQ(commonAppData(row.major), Text(path)) << row.version;
        DWORD attributes = GetFileAttributesW(path);
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << row.version;
    }
}
