// The Windows version and processor as a program reads them.
#include "plx_test_machine.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(SysinfoVersion, AcceptsBothStructureSizes) {
    OSVERSIONINFOW plain;
    std::memset(&plain, 0xCC, sizeof plain);
    plain.dwOSVersionInfoSize = sizeof plain;
    ASSERT_EQ(276u, sizeof plain);
    ASSERT_TRUE(GetVersionExW(&plain)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), plain.dwPlatformId);
    EXPECT_GE(plain.dwMajorVersion, 5u);
    EXPECT_GT(plain.dwBuildNumber, 0u);
    // The service pack text is terminated within the field.
    bool terminated = false;
    for (WCHAR c : plain.szCSDVersion) terminated = terminated || c == 0;
    EXPECT_TRUE(terminated);

    OSVERSIONINFOEXW ex;
    std::memset(&ex, 0xCC, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_EQ(284u, sizeof ex);
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex))) << GetLastError();
    EXPECT_EQ(plain.dwMajorVersion, ex.dwMajorVersion);
    EXPECT_EQ(plain.dwMinorVersion, ex.dwMinorVersion);
    EXPECT_EQ(plain.dwBuildNumber, ex.dwBuildNumber);
    EXPECT_EQ(1, ex.wProductType);  // VER_NT_WORKSTATION
    EXPECT_EQ(sizeof ex, ex.dwOSVersionInfoSize);
}

TEST(SysinfoVersion, RefusesOtherSizes) {
    const DWORD sizes[] = {0, 4, 275, 277, 283, 285, 1024};
    for (DWORD size : sizes) {
        OSVERSIONINFOEXW ex;
        std::memset(&ex, 0, sizeof ex);
        ex.dwOSVersionInfoSize = size;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex))) << size;
        EXPECT_EQ(0u, ex.dwMajorVersion) << size;
        // Wine's GetVersionExW refuses the size without setting the last
        // error; Windows reports ERROR_INSUFFICIENT_BUFFER (as Wine's own
        // GetVersionExA does).
        if (!plxIsWine()) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError()) << size;
        }
    }
}
