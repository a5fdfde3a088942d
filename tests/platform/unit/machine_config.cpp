// machine.ini, the standard user's refused writes and a process without a machine.
#include "plx_test_machine.h"
#include "plx_text_codec.h"
#include "sim_unit.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace simunit;

namespace {

DWORD createError(const char16_t* path) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(h);
    return ERROR_SUCCESS;
}

}  // namespace

TEST(MachineConfig, AdministratorByDefault) {
    TestMachine m;
    m.create();
    EXPECT_FALSE(hostExists(m.dir() + "/machine.ini"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), createError(u"C:\\Program Files\\a.txt"));
    EXPECT_TRUE(CreateDirectoryW(u"C:\\Windows\\Temp", nullptr));
}

TEST(MachineConfig, StandardUserCannotWriteProtectedFolders) {
    TestMachine m;
    m.file("C:\\Program Files\\Orvane\\lib.dll", "old")
        .file("C:\\Program Files (x86)\\Orvane\\lib.dll", "old32")
        .file("C:\\ProgramData\\free.txt", "free")
        .ini("User", "Administrator", "0")
        .create();
    const DWORD denied = ERROR_ACCESS_DENIED;
    EXPECT_EQ(denied, createError(u"C:\\Program Files\\Orvane\\new.txt"));
    EXPECT_EQ(denied, createError(u"c:\\program files (x86)\\orvane\\new.txt"));
    EXPECT_EQ(denied, createError(u"C:\\WINDOWS\\system32\\new.dll"));
    EXPECT_FALSE(CreateDirectoryW(u"C:\\Windows\\NewDir", nullptr));
    EXPECT_EQ(denied, GetLastError());
    EXPECT_FALSE(DeleteFileW(u"C:\\Program Files\\Orvane\\lib.dll"));
    EXPECT_EQ(denied, GetLastError());
    EXPECT_FALSE(MoveFileExW(u"C:\\Program Files\\Orvane\\lib.dll", u"C:\\Program Files\\Orvane\\lib.dll.bak", 0));
    EXPECT_EQ(denied, GetLastError());
    EXPECT_FALSE(MoveFileExW(u"C:\\ProgramData\\free.txt", u"C:\\Program Files\\free.txt", 0));
    EXPECT_EQ(denied, GetLastError()) << "moving into a protected folder";
    EXPECT_FALSE(CopyFileW(u"C:\\ProgramData\\free.txt", u"C:\\Program Files\\Orvane\\lib.dll", FALSE));
    EXPECT_EQ(denied, GetLastError());
    EXPECT_EQ("old", m.readFile("C:\\Program Files\\Orvane\\lib.dll")) << "reading stays allowed";

    // Elsewhere the standard user writes as usual; "Program Files Extra" is not Program Files.
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), createError(u"C:\\ProgramData\\new.txt"));
    EXPECT_TRUE(CreateDirectoryW(u"C:\\Program Files Extra", nullptr));
    EXPECT_TRUE(CopyFileW(u"C:\\Program Files\\Orvane\\lib.dll", u"C:\\ProgramData\\copy.dll", FALSE));
}

TEST(MachineConfig, IniIsReadAgainWhenItChanges) {
    TestMachine m;
    m.ini("User", "Administrator", "1").create();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), createError(u"C:\\Windows\\a.txt"));
    // UTF-16LE with BOM, a different size and time than before.
    std::u16string text = u"; changed\r\n[User]\r\nAdministrator = 0\r\n";
    hostWrite(m.dir() + "/machine.ini", "\xFF\xFE" + plxtext::utf16leBytes(text));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), createError(u"C:\\Windows\\a.txt"));
}

TEST(MachineConfig, SwitchingMachinesFollowsTheVariable) {
    TestMachine first;
    first.file("C:\\only-first.txt", "1").create();
    {
        TestMachine second;
        second.create();
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\only-first.txt"));
    }
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\only-first.txt")) << "back on the first machine";
}

TEST(MachineConfig, BadIniValueStopsWithAMessage) {
    TestMachine m;
    m.ini("Windows", "Architecture", "arm").create();
    ChildResult child = runChild([] {
        GetFileAttributesW(u"C:\\Windows");
        return 0;
    });
    EXPECT_EQ(3, child.exitCode);
    EXPECT_NE(std::string::npos, child.err.find("Architecture=arm")) << child.err;
}

TEST(MachineConfig, NoMachineStopsWithHowToCreateOne) {
    ChildResult child = runChild([] {
        unsetenv("PLX_MACHINE");
        GetFileAttributesW(u"C:\\Windows");
        return 0;
    });
    EXPECT_EQ(3, child.exitCode);
    EXPECT_NE(std::string::npos, child.err.find("PLX_MACHINE")) << child.err;
    EXPECT_NE(std::string::npos, child.err.find("mkdir -p")) << child.err;
}

TEST(MachineConfig, TextFunctionsNeedNoMachine) {
    ChildResult child = runChild([] {
        unsetenv("PLX_MACHINE");
        WCHAR out[64];
        int n = wsprintfW(out, u"%s-%d", u"ok", 5);
        return n == 4 && lstrlenW(out) == 4 && lstrcmpiW(out, u"OK-5") == 0 ? 0 : 1;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
}
