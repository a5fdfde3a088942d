// CPLXWindowsProcess::setPrivilege: the process's own token, a caller's token,
// the failure reports and the method traces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../logging/plx_log_test_env.h"
#include "plx_scoped_handle.h"
#include "plx_test_machine.h"
#include "plx_windowsprocess.h"

namespace {

// The attributes of a privilege in a token; false when the token lacks it.
bool privilegeAttributes(HANDLE hToken, const WCHAR* szName, DWORD& dwAttributes) {
    LUID luid = {};
    if (!LookupPrivilegeValueW(nullptr, szName, &luid)) return false;
    BYTE buffer[4096] = {};
    DWORD cbNeeded = 0;
    if (!GetTokenInformation(hToken, TokenPrivileges, buffer, sizeof(buffer), &cbNeeded)) return false;
    const TOKEN_PRIVILEGES* pPrivileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < pPrivileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = pPrivileges->Privileges[i];
        if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart) {
            dwAttributes = entry.Attributes;
            return true;
        }
    }
    return false;
}

bool processPrivilegeAttributes(const WCHAR* szName, DWORD& dwAttributes) {
    CPLXScopedToken hToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, hToken.out())) return false;
    return privilegeAttributes(hToken.get(), szName, dwAttributes);
}

bool logHas(const std::vector<std::string>& lines, std::initializer_list<std::string> pieces) {
    return plxLogHas(lines, pieces);
}

class WindowsProcessTest : public ::testing::Test {
protected:
    // A fresh machine is a fresh logon on the simulated machine.
    void SetUp() override { m_machine.create(); }
    TestMachine m_machine;
};

}  // namespace

TEST_F(WindowsProcessTest, EnablesAndDisablesInTheProcessToken) {
    CPLXWindowsProcess process;
    HANDLE hToken = nullptr;
    ASSERT_TRUE(process.setPrivilege(CPLXWCharString(SE_SHUTDOWN_NAME), true, hToken));
    EXPECT_EQ(nullptr, hToken);  // the process token was opened and closed inside
    DWORD dwAttributes = 0;
    ASSERT_TRUE(processPrivilegeAttributes(SE_SHUTDOWN_NAME, dwAttributes));
    EXPECT_NE(0u, dwAttributes & SE_PRIVILEGE_ENABLED);

    ASSERT_TRUE(process.setPrivilege(CPLXWCharString(SE_SHUTDOWN_NAME), false, hToken));
    ASSERT_TRUE(processPrivilegeAttributes(SE_SHUTDOWN_NAME, dwAttributes));
    EXPECT_EQ(0u, dwAttributes & SE_PRIVILEGE_ENABLED);
}

TEST_F(WindowsProcessTest, MisspeltNameFailsAtTheLookupAndIsLogged) {
    PlxLoggingOn logging("SetPrivilegeLookup");
    CPLXWindowsProcess process;
    HANDLE hToken = nullptr;
    EXPECT_FALSE(process.setPrivilege(CPLXWCharString(TEXT("SeNoSuchPrivilege")), true, hToken));
    EXPECT_EQ(nullptr, hToken);
    // ERROR_NO_SUCH_PRIVILEGE, 1313
    EXPECT_TRUE(
        logHas(logging.lines(), {"LookupPrivilegeValue call failed for privilege:SeNoSuchPrivilege", "0x00000521"}));
}

TEST_F(WindowsProcessTest, CallersTokenIsAdjustedAndNeverClosed) {
    PlxLoggingOn logging("SetPrivilegeCallerToken");
    HANDLE hToken = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken));
    const HANDLE hOriginal = hToken;
    CPLXWindowsProcess process;
    ASSERT_TRUE(process.setPrivilege(CPLXWCharString(SE_SHUTDOWN_NAME), true, hToken));
    EXPECT_EQ(hOriginal, hToken);
    DWORD dwAttributes = 0;
    ASSERT_TRUE(privilegeAttributes(hToken, SE_SHUTDOWN_NAME, dwAttributes));  // still usable
    EXPECT_NE(0u, dwAttributes & SE_PRIVILEGE_ENABLED);
    EXPECT_FALSE(process.setPrivilege(CPLXWCharString(TEXT("SeNoSuchPrivilege")), true, hToken));
    EXPECT_TRUE(process.setPrivilege(CPLXWCharString(SE_SHUTDOWN_NAME), false, hToken));
    EXPECT_TRUE(CloseHandle(hToken));

    // A token without the right to adjust: the adjustment fails, the token stays open.
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken));
    EXPECT_FALSE(process.setPrivilege(CPLXWCharString(SE_SHUTDOWN_NAME), true, hToken));
    EXPECT_TRUE(logHas(logging.lines(), {"AdjustTokenPrivileges call failed for handle:hToken", "0x00000005"}));
    EXPECT_TRUE(CloseHandle(hToken));
}

TEST_F(WindowsProcessTest, StandardUserGetsTrueWithoutThePrivilege) {
    if (!TestMachine::canSetMachineIni()) GTEST_SKIP() << "needs a standard user (machine.ini)";
    TestMachine standardUser;
    standardUser.ini("User", "Administrator", "0").create();
    CPLXWindowsProcess process;
    HANDLE hToken = nullptr;
    // Only the call's result counts; the token does not hold the privilege.
    EXPECT_TRUE(process.setPrivilege(CPLXWCharString(SE_BACKUP_NAME), true, hToken));
    DWORD dwAttributes = 0;
    EXPECT_FALSE(processPrivilegeAttributes(SE_BACKUP_NAME, dwAttributes));
}

TEST_F(WindowsProcessTest, TracesConstructionTheCallAndDestruction) {
    PlxLoggingOn logging("SetPrivilegeTrace", PLX_DEFAULT_LOG_DETAIL | PLX_LEVEL_ENTRY | PLX_LEVEL_EXIT);
    logging.tracesOn();
    {
        CPLXWindowsProcess process;
        HANDLE hToken = nullptr;
        process.setPrivilege(CPLXWCharString(SE_SHUTDOWN_NAME), true, hToken);
    }
    const std::vector<std::string> lines = logging.lines();
    for (const char* szName : {"CPLXWindowsProcess::Constructor", "CPLXWindowsProcess::setPrivilege",
                               "CPLXWindowsProcess::Destructor ~CPLXWindowsProcess"}) {
        EXPECT_TRUE(logHas(lines, {"<ENTRY>", szName, "plx_windowsprocess.cpp"})) << szName;
        EXPECT_TRUE(logHas(lines, {"<EXIT>", szName, "<Passed>"})) << szName;
    }
}
