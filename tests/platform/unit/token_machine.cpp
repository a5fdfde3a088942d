// The simulated token follows the machine's user (machine.ini [User]
// Administrator), and ExitWindowsEx follows the token.
#include "plx_test_machine.h"
#include "plx_win32.h"
#include "src/internal.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// LUID -> attributes of the process token's privileges.
std::vector<LUID_AND_ATTRIBUTES> heldPrivileges() {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buffer[1024];
    DWORD length = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &length));
    CloseHandle(token);
    const TOKEN_PRIVILEGES* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    const LUID_AND_ATTRIBUTES* first = &list->Privileges[0];
    return std::vector<LUID_AND_ATTRIBUTES>(first, first + list->PrivilegeCount);
}

std::set<DWORD> heldLuids() {
    std::set<DWORD> luids;
    for (const LUID_AND_ATTRIBUTES& p : heldPrivileges()) luids.insert(p.Luid.LowPart);
    return luids;
}

// Enables or disables one privilege; the last error of AdjustTokenPrivileges.
DWORD adjust(LPCWSTR name, bool enable) {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES set;
    set.PrivilegeCount = 1;
    EXPECT_TRUE(LookupPrivilegeValueW(nullptr, name, &set.Privileges[0].Luid));
    set.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &set, sizeof set, nullptr, nullptr));
    DWORD error = GetLastError();
    CloseHandle(token);
    return error;
}

}  // namespace

TEST(TokenMachine, AdministratorStartsWithEverythingButChangeNotifyDisabled) {
    TestMachine machine;
    machine.create();
    EXPECT_EQ((std::set<DWORD>{17, 18, 19, 23}), heldLuids());
    for (const LUID_AND_ATTRIBUTES& p : heldPrivileges()) {
        DWORD expected = p.Luid.LowPart == 23 ? SE_PRIVILEGE_ENABLED_BY_DEFAULT | SE_PRIVILEGE_ENABLED : 0;
        EXPECT_EQ(expected, p.Attributes) << p.Luid.LowPart;
    }
}

TEST(TokenMachine, StandardUserHoldsOnlyShutdown) {
    TestMachine machine;
    machine.ini("User", "Administrator", "0").create();
    EXPECT_EQ((std::set<DWORD>{19, 23}), heldLuids());
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED), adjust(SE_BACKUP_NAME, true));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED), adjust(SE_RESTORE_NAME, true));
    EXPECT_FALSE(plxsim::privilegeEnabled(u"SeBackupPrivilege"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), adjust(SE_SHUTDOWN_NAME, true));
    EXPECT_TRUE(plxsim::privilegeEnabled(u"SeShutdownPrivilege"));
}

TEST(TokenMachine, PrivilegeQueryFollowsAdjustments) {
    TestMachine machine;
    machine.create();
    EXPECT_FALSE(plxsim::privilegeEnabled(u"SeRestorePrivilege"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), adjust(SE_RESTORE_NAME, true));
    EXPECT_TRUE(plxsim::privilegeEnabled(u"SeRestorePrivilege"));
    EXPECT_TRUE(plxsim::privilegeEnabled(u"serestoreprivilege"));
    EXPECT_FALSE(plxsim::privilegeEnabled(u"SeBackupPrivilege"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), adjust(SE_RESTORE_NAME, false));
    EXPECT_FALSE(plxsim::privilegeEnabled(u"SeRestorePrivilege"));
    EXPECT_FALSE(plxsim::privilegeEnabled(u"NoSuchPrivilege"));
}

TEST(TokenMachine, DisableAllKeepsWhatIsHeld) {
    TestMachine machine;
    machine.create();
    adjust(SE_SHUTDOWN_NAME, true);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    EXPECT_TRUE(AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr, nullptr));
    CloseHandle(token);
    EXPECT_FALSE(plxsim::privilegeEnabled(u"SeShutdownPrivilege"));
    EXPECT_FALSE(plxsim::privilegeEnabled(u"SeChangeNotifyPrivilege"));
    EXPECT_EQ((std::set<DWORD>{17, 18, 19, 23}), heldLuids());
}

TEST(TokenMachine, RemovedPrivilegeCannotBeEnabledAgain) {
    TestMachine machine;
    machine.create();
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES set;
    set.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_BACKUP_NAME, &set.Privileges[0].Luid));
    set.Privileges[0].Attributes = SE_PRIVILEGE_REMOVED;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &set, 0, nullptr, nullptr));
    CloseHandle(token);
    EXPECT_EQ(0u, heldLuids().count(17));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED), adjust(SE_BACKUP_NAME, true));
}

TEST(TokenMachine, AnotherMachineIsAFreshLogon) {
    {
        TestMachine first;
        first.create();
        adjust(SE_SHUTDOWN_NAME, true);
        EXPECT_TRUE(plxsim::privilegeEnabled(u"SeShutdownPrivilege"));
    }
    TestMachine second;
    second.create();
    EXPECT_FALSE(plxsim::privilegeEnabled(u"SeShutdownPrivilege"));
}

TEST(TokenMachine, LookupOnAnotherSystemFails) {
    LUID luid;
    EXPECT_FALSE(LookupPrivilegeValueW(TEXT("\\\\OTHERPC"), SE_SHUTDOWN_NAME, &luid));
    EXPECT_EQ(1722u, GetLastError());  // RPC_S_SERVER_UNAVAILABLE
    EXPECT_TRUE(LookupPrivilegeValueW(TEXT(""), SE_SHUTDOWN_NAME, &luid));
}

TEST(ExitWindows, NeedsTheShutdownPrivilegeEnabled) {
    TestMachine machine;
    machine.create();
    SetLastError(0);
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD), GetLastError());
    EXPECT_EQ("", machine.screenLog());
}

TEST(ExitWindows, RestartIsRecordedAndTheProgramGoesOn) {
    TestMachine machine;
    machine.create();
    adjust(SE_SHUTDOWN_NAME, true);
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, 0));
    EXPECT_TRUE(ExitWindowsEx(EWX_POWEROFF | EWX_FORCEIFHUNG, 0));
    std::string log = machine.screenLog();
    EXPECT_NE(std::string::npos, log.find("ExitWindowsEx flags=0x12 reboot")) << log;
    EXPECT_NE(std::string::npos, log.find("ExitWindowsEx flags=0x18 poweroff")) << log;
    EXPECT_LT(log.find("reboot"), log.find("poweroff"));
}

TEST(ExitWindows, StandardUserMayRestartOnceEnabled) {
    TestMachine machine;
    machine.ini("User", "Administrator", "0").create();
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    adjust(SE_SHUTDOWN_NAME, true);
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_NE(std::string::npos, machine.screenLog().find("ExitWindowsEx flags=0x02 reboot"));
}

TEST(ExitWindows, RestartDropsVolatileKeys) {
    TestMachine machine;
    machine.create();
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\PlxVolatile"), 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\PlxLasting"), 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    adjust(SE_SHUTDOWN_NAME, true);
    ASSERT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\PlxVolatile"), 0, KEY_READ, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\PlxLasting"), 0, KEY_READ, &key));
    RegCloseKey(key);
}
