// machine.ini's [Programs] Loaded pins the files, not their names, for every
// process of the machine (loaded.pins).
#include "plx_test_machine.h"
#include "sim_unit.h"

#include <gtest/gtest.h>

using namespace simunit;

TEST(LoadedFiles, RenamedInAnotherProcessTheFileStaysLoaded) {
    TestMachine m;
    m.file("C:\\ProgramData\\addon.dll", "MZ").ini("Programs", "Loaded", "c:\\programdata\\ADDON.dll").create();
    // The child is the first to read the setting: it pins the file, then renames it.
    ChildResult child =
        runChild([] { return MoveFileExW(u"C:\\ProgramData\\addon.dll", u"C:\\ProgramData\\addon.old", 0) ? 0 : 1; });
    ASSERT_EQ(0, child.exitCode) << child.err;
    EXPECT_FALSE(DeleteFileW(u"C:\\ProgramData\\addon.old"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    hostWrite(m.dir() + "/drive_c/ProgramData/addon.dll", "new");
    EXPECT_TRUE(DeleteFileW(u"C:\\ProgramData\\addon.dll")) << "a new file under the old name is not loaded";
}

TEST(LoadedFiles, APathThatNamedNoFilePinsNothing) {
    TestMachine m;
    m.ini("Programs", "Loaded", "C:\\ProgramData\\later.dll").create();
    // The child is the first to read the setting, while the path names no file.
    ChildResult child =
        runChild([] { return GetFileAttributesW(u"C:\\ProgramData\\later.dll") == INVALID_FILE_ATTRIBUTES ? 0 : 1; });
    ASSERT_EQ(0, child.exitCode) << child.err;
    hostWrite(m.dir() + "/drive_c/ProgramData/later.dll", "MZ");
    EXPECT_TRUE(DeleteFileW(u"C:\\ProgramData\\later.dll")) << GetLastError();
}
