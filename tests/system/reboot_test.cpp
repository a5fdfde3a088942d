// Restart: the shutdown privilege around the request, the optional question
// and the request itself.  Requests are made only on the simulated machine,
// whose screen.log records them; Windows is never asked to restart for real.
#include <gtest/gtest.h>

#include <vector>

#include "../logging/plx_log_test_env.h"
#include "plx_scoped_handle.h"
#include "plx_test_machine.h"
#include "plx_win_reboot.h"

namespace {

// Whether the process token holds SeShutdownPrivilege enabled.
bool shutdownPrivilegeEnabled() {
    CPLXScopedToken hToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, hToken.out())) {
        ADD_FAILURE() << "OpenProcessToken failed";
        return false;
    }
    LUID luid = {};
    bool bEnabled = false;
    DWORD cbNeeded = 0;
    if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &luid)) {
        GetTokenInformation(hToken.get(), TokenPrivileges, nullptr, 0, &cbNeeded);
        std::vector<BYTE> buffer(cbNeeded + sizeof(TOKEN_PRIVILEGES));
        if (GetTokenInformation(hToken.get(), TokenPrivileges, buffer.data(), static_cast<DWORD>(buffer.size()),
                                &cbNeeded)) {
            const TOKEN_PRIVILEGES* pPrivileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
            const LUID_AND_ATTRIBUTES* pEntry = &pPrivileges->Privileges[0];
            for (DWORD i = 0; i < pPrivileges->PrivilegeCount; ++i, ++pEntry) {
                if (pEntry->Luid.LowPart == luid.LowPart && pEntry->Luid.HighPart == luid.HighPart) {
                    bEnabled = (pEntry->Attributes & SE_PRIVILEGE_ENABLED) != 0;
                }
            }
        }
    }
    return bEnabled;
}

const CPLXWCharString kNoText;

TEST(RebootPrivilegeTest, EnabledThenDisabledAgain) {
    CPLXWinReboot reboot;
    ASSERT_TRUE(reboot.setShutdownPrivilege());
    EXPECT_TRUE(shutdownPrivilegeEnabled());
    // A second call reuses the token.
    ASSERT_TRUE(reboot.setShutdownPrivilege());
    EXPECT_TRUE(reboot.restoreShutdownPrivilege());
    EXPECT_FALSE(shutdownPrivilegeEnabled());
    // Restoring without a token does nothing and still answers true.
    CPLXWinReboot unused;
    EXPECT_TRUE(unused.restoreShutdownPrivilege());
}

class RebootMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PLX_SIMULATED_MACHINE || !TestMachine::canSetMachineIni())
            GTEST_SKIP() << "restart requests are made only on the simulated machine";
    }
};

TEST_F(RebootMachineTest, RestartAtOnceForcingHungApplications) {
    TestMachine machine;
    machine.create();
    CPLXWinReboot reboot;
    EXPECT_TRUE(reboot.rebootSystem(false, kNoText, kNoText, nullptr));
    EXPECT_EQ(machine.screenLog(), "ExitWindowsEx flags=0x12 reboot\n");
    EXPECT_FALSE(shutdownPrivilegeEnabled());
}

TEST_F(RebootMachineTest, PowerOff) {
    TestMachine machine;
    machine.create();
    CPLXWinReboot reboot;
    EXPECT_TRUE(reboot.doReboot(PLX_REBOOT_POWEROFF, false, kNoText, kNoText, nullptr));
    EXPECT_TRUE(reboot.restoreShutdownPrivilege());
    EXPECT_EQ(machine.screenLog(), "ExitWindowsEx flags=0x18 poweroff\n");
    EXPECT_FALSE(shutdownPrivilegeEnabled());
}

TEST_F(RebootMachineTest, AnswerNoKeepsWindowsRunning) {
    TestMachine machine;
    machine.ini("Display", "Answers", "no").create();
    CPLXWinReboot reboot;
    EXPECT_TRUE(
        reboot.rebootSystem(true, CPLXWCharString(TEXT("Restart")), CPLXWCharString(TEXT("Restart now?")), nullptr));
    EXPECT_EQ(machine.screenLog(),
              "MessageBox caption=\"Restart\" text=\"Restart now?\" buttons=YESNO icon=NONE answer=IDNO\n");
    EXPECT_FALSE(shutdownPrivilegeEnabled());
}

TEST_F(RebootMachineTest, AnswerYesRestarts) {
    TestMachine machine;
    machine.ini("Display", "Answers", "yes").create();
    CPLXWinReboot reboot;
    EXPECT_TRUE(
        reboot.rebootSystem(true, CPLXWCharString(TEXT("Restart")), CPLXWCharString(TEXT("Restart now?")), nullptr));
    EXPECT_EQ(machine.screenLog(),
              "MessageBox caption=\"Restart\" text=\"Restart now?\" buttons=YESNO icon=NONE answer=IDYES\n"
              "ExitWindowsEx flags=0x12 reboot\n");
    EXPECT_FALSE(shutdownPrivilegeEnabled());
}

TEST_F(RebootMachineTest, BoxThatCannotBeShownRestartsNothing) {
    TestMachine machine;
    machine.ini("Display", "Answers", "ok").create();
    CPLXWinReboot reboot;
    EXPECT_TRUE(reboot.rebootSystem(true, kNoText, kNoText, nullptr));
    EXPECT_EQ(machine.screenLog().find("ExitWindowsEx"), std::string::npos) << machine.screenLog();
}

TEST_F(RebootMachineTest, UnknownActionIsRefused) {
    TestMachine machine;
    machine.create();
    PlxLoggingOn on("rebootaction");
    CPLXWinReboot reboot;
    EXPECT_FALSE(reboot.doReboot(2, false, kNoText, kNoText, nullptr));
    EXPECT_EQ(machine.screenLog(), "");
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NE(entries[0].find("\"A bad argument was provided ( ulAction ). must be 0 (restart) or 1 (power off)\""),
              std::string::npos)
        << entries[0];
}

}  // namespace
