// Platform detection: Windows versions and architectures of simulated
// machines, the service pack, the shell query and the preinstallation check.
#include <gtest/gtest.h>

#include "../logging/plx_log_test_env.h"
#include "plx_test_machine.h"
#include "plx_windows_os_info.h"

namespace {

class OSInfoMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestMachine::canSetMachineIni()) GTEST_SKIP() << "needs machine.ini (simulated machine)";
    }
};

TEST_F(OSInfoMachineTest, Windows61OnX64) {
    TestMachine machine;
    machine.ini("Windows", "Version", "6.1").ini("Windows", "Architecture", "x64").create();
    CPLXWindowsOSInfo info;
    EXPECT_EQ(info.getPlatform(), static_cast<ULONG>(PLX_PLATFORM_64BIT));
    EXPECT_TRUE(info.isVersion61());
    EXPECT_FALSE(info.isVista());
    EXPECT_FALSE(info.isXP());
    EXPECT_EQ(info.getVersionNumber(), 6.1);
    EXPECT_TRUE(info.isXPOrLater());
    EXPECT_TRUE(info.getQuery37());
}

TEST_F(OSInfoMachineTest, Windows61OnX86) {
    TestMachine machine;
    machine.ini("Windows", "Version", "6.1").ini("Windows", "Architecture", "x86").create();
    CPLXWindowsOSInfo info;
    EXPECT_EQ(info.getPlatform(), static_cast<ULONG>(PLX_PLATFORM_32BIT));
    EXPECT_TRUE(info.isVersion61());
}

TEST_F(OSInfoMachineTest, VersionTests) {
    struct Case {
        const char* szVersion;
        bool bXP;
        bool bVista;
        bool b61;
        bool bXPOrLater;
        bool bQuery37;
    } cases[] = {
        {"5.0", false, false, false, false, false}, {"5.1", true, false, false, true, false},
        {"5.2", true, false, false, true, false},   {"6.0", false, true, false, true, true},
        {"6.1", false, false, true, true, true},    {"6.2", false, false, false, true, true},
        {"6.3", false, false, false, true, true},   {"10.0", false, false, false, true, true},
    };
    for (const Case& c : cases) {
        TestMachine machine;
        machine.ini("Windows", "Version", c.szVersion).create();
        CPLXWindowsOSInfo info;
        EXPECT_EQ(info.isXP(), c.bXP) << c.szVersion;
        EXPECT_EQ(info.isVista(), c.bVista) << c.szVersion;
        EXPECT_EQ(info.isVersion61(), c.b61) << c.szVersion;
        EXPECT_EQ(info.isXPOrLater(), c.bXPOrLater) << c.szVersion;
        EXPECT_EQ(info.getQuery37(), c.bQuery37) << c.szVersion;
    }
}

TEST_F(OSInfoMachineTest, ServicePackFromCSDVersion) {
    struct Case {
        const char* szValue;
        DWORD dwServicePack;
    } cases[] = {{"\"CSDVersion\"=dword:00000100\n", 1},
                 {"\"CSDVersion\"=dword:00000200\n", 2},
                 {"\"CSDVersion\"=dword:000003ff\n", 3},
                 {"\"Other\"=dword:00000100\n", 0},
                 {"\"CSDVersion\"=\"text\"\n", 0}};
    for (const Case& c : cases) {
        TestMachine machine;
        machine.reg(std::string("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Windows]\n") + c.szValue)
            .create();
        CPLXWindowsOSInfo info;
        EXPECT_EQ(info.getServicePack(), c.dwServicePack) << c.szValue;
    }
    TestMachine bare;
    bare.create();
    CPLXWindowsOSInfo info;
    EXPECT_EQ(info.getServicePack(), 0u);
}

TEST(OSInfoTest, PreinstallationDrive) {
    SetEnvironmentVariableW(TEXT("PLXDrive"), nullptr);
    {
        CPLXWindowsOSInfo info;
        EXPECT_FALSE(info.isPreinstallation());
        EXPECT_FALSE(info.performPECheck());
    }
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXDrive"), TEXT("")));
    {
        CPLXWindowsOSInfo info;
        EXPECT_FALSE(info.isPreinstallation());
    }
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXDrive"), TEXT("X:")));
    {
        CPLXWindowsOSInfo info;
        EXPECT_TRUE(info.isPreinstallation());
        SetEnvironmentVariableW(TEXT("PLXDrive"), nullptr);
        // Asked afresh; the constructor's answer stays.
        EXPECT_FALSE(info.performPECheck());
        EXPECT_TRUE(info.isPreinstallation());
    }
}

TEST(OSInfoTest, ShellQueryOfTheRunningSystem) {
    CPLXWindowsOSInfo info;
    bool bAnswer = false;
    EXPECT_TRUE(info.performOSQueryFunction(PLX_OS_QUERY_XP_OR_LATER, bAnswer));
    EXPECT_TRUE(bAnswer);
    EXPECT_EQ(info.isXPOrLater(), bAnswer);
    EXPECT_GT(info.getVersionNumber(), 5.0);
    // A 64-bit test program runs on 64-bit Windows only.
    if (sizeof(void*) == 8) {
        EXPECT_EQ(info.getPlatform(), static_cast<ULONG>(PLX_PLATFORM_64BIT));
    }
}

TEST(OSInfoTest, QueryLoadsTheSystemLibraryOnlyWhileAsking) {
    CPLXWindowsOSInfo info;
    bool bAnswer = false;
    ASSERT_TRUE(info.performOSQueryFunction(PLX_OS_QUERY_37, bAnswer));
    if (PLX_SIMULATED_MACHINE) {
        // Freed after each query (Windows keeps shlwapi loaded for its own users).
        EXPECT_EQ(GetModuleHandleW(TEXT("shlwapi.dll")), nullptr);
    }
}

}  // namespace
