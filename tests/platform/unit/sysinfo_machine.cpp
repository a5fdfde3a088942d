// Windows version, processor, the shell's IsOS and system libraries on
// machines of other versions and architectures (machine.ini [Windows]).
#include "plx_test_machine.h"
#include "plx_test_text.h"
#include "plx_win32.h"
#include "src/internal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

typedef BOOL(WINAPI* IsOSProc)(DWORD);

LPCSTR ordinal(WORD value) { return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(value)); }

bool isOS(DWORD value) {
    HMODULE shlwapi = LoadLibraryW(TEXT("shlwapi.dll"));
    EXPECT_NE(nullptr, shlwapi);
    FARPROC proc = GetProcAddress(shlwapi, ordinal(437));
    EXPECT_NE(nullptr, proc);
    bool answer = reinterpret_cast<IsOSProc>(reinterpret_cast<void (*)()>(proc))(value) != FALSE;
    FreeLibrary(shlwapi);
    return answer;
}

OSVERSIONINFOEXW versionInfo() {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    EXPECT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)));
    return info;
}

}  // namespace

TEST(SysinfoMachine, VersionsWithTheirBuildsAndServicePacks) {
    struct Case {
        const char* version;
        DWORD major, minor, build;
        const char* servicePack;
        WORD servicePackMajor;
    } cases[] = {
        {"6.1", 6, 1, 7601, "Service Pack 1", 1},
        {"6.0", 6, 0, 6002, "Service Pack 2", 2},
        {"5.1", 5, 1, 2600, "Service Pack 3", 3},
        {"5.2", 5, 2, 3790, "Service Pack 2", 2},
        {"6.2", 6, 2, 9200, "", 0},
        {"10.0", 10, 0, 19045, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        TestMachine machine;
        machine.ini("Windows", "Version", c.version).create();
        OSVERSIONINFOEXW info = versionInfo();
        EXPECT_EQ(c.major, info.dwMajorVersion);
        EXPECT_EQ(c.minor, info.dwMinorVersion);
        EXPECT_EQ(c.build, info.dwBuildNumber);
        EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), info.dwPlatformId);
        EXPECT_EQ(c.servicePack, plxNarrow(info.szCSDVersion));
        EXPECT_EQ(c.servicePackMajor, info.wServicePackMajor);
    }
}

TEST(SysinfoMachine, DefaultMachineIsWindows7x64) {
    TestMachine machine;
    machine.create();
    OSVERSIONINFOEXW info = versionInfo();
    EXPECT_EQ(6u, info.dwMajorVersion);
    EXPECT_EQ(1u, info.dwMinorVersion);
    SYSTEM_INFO native;
    GetNativeSystemInfo(&native);
    EXPECT_EQ(PROCESSOR_ARCHITECTURE_AMD64, native.wProcessorArchitecture);
    EXPECT_TRUE(isOS(30));  // OS_WOW6432: the 32-bit program on 64-bit Windows
}

TEST(SysinfoMachine, X86MachineHasAnIntelProcessor) {
    TestMachine machine;
    machine.ini("Windows", "Architecture", "x86").create();
    SYSTEM_INFO native, process;
    GetNativeSystemInfo(&native);
    GetSystemInfo(&process);
    EXPECT_EQ(PROCESSOR_ARCHITECTURE_INTEL, native.wProcessorArchitecture);
    EXPECT_EQ(PROCESSOR_ARCHITECTURE_INTEL, process.wProcessorArchitecture);
    EXPECT_FALSE(isOS(30));
}

TEST(SysinfoMachine, ShellQueryFollowsTheVersion) {
    struct Case {
        const char* version;
        bool xpOrLater, vistaOrLater;
    } cases[] = {
        {"5.0", false, false}, {"5.1", true, false}, {"5.2", true, false}, {"6.0", true, true},
        {"6.1", true, true},   {"6.2", true, true},  {"10.0", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        TestMachine machine;
        machine.ini("Windows", "Version", c.version).create();
        EXPECT_EQ(c.xpOrLater, isOS(18));
        EXPECT_EQ(c.vistaOrLater, isOS(37));
        EXPECT_TRUE(isOS(1));    // OS_NT
        EXPECT_FALSE(isOS(23));  // OS_SERVER
        EXPECT_FALSE(isOS(29));  // OS_ANYSERVER
        EXPECT_FALSE(isOS(9999));
    }
}

TEST(SysinfoLibraries, NamesAndPathsOfSystemModules) {
    HMODULE plain = LoadLibraryW(TEXT("shlwapi.dll"));
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(plain, LoadLibraryW(TEXT("SHLWAPI")));
    EXPECT_EQ(plain, LoadLibraryW(TEXT("C:\\Windows\\System32\\shlwapi.dll")));
    EXPECT_EQ(plain, LoadLibraryExW(TEXT("shlwapi.dll"), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryW(TEXT("C:\\Downloads\\shlwapi.dll")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, LoadLibraryW(TEXT("shlwapi.")));  // a trailing dot: no extension at all
    EXPECT_EQ(nullptr, LoadLibraryExW(TEXT("shlwapi.dll"), nullptr, 0x80000000));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(FreeLibrary(plain));
}

TEST(SysinfoLibraries, ModuleStaysLoadedUntilTheLastFree) {
    HMODULE first = LoadLibraryW(TEXT("version.dll"));
    HMODULE second = LoadLibraryW(TEXT("version.dll"));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, plxsim::systemModule(u"VERSION.DLL"));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(nullptr, GetProcAddress(second, "VerQueryValueW"));
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(nullptr, plxsim::systemModule(u"version.dll"));
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(second, "VerQueryValueW"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_FALSE(FreeLibrary(second));
    // kernel32 and ntdll belong to every process.
    EXPECT_NE(nullptr, plxsim::systemModule(u"kernel32.dll"));
    EXPECT_NE(nullptr, plxsim::systemModule(u"ntdll"));
    EXPECT_EQ(nullptr, plxsim::systemModule(u"user32.dll"));
}

TEST(SysinfoLibraries, PlantedLibrariesAreNeverLoaded) {
    // Files named like system libraries in the current directory and in the
    // program's directory do not change what LoadLibraryW gives.
    TestMachine machine;
    machine.file("C:\\Users\\Public\\Downloads\\shlwapi.dll", "MZ planted").create();
    ASSERT_TRUE(SetCurrentDirectoryW(TEXT("C:\\Users\\Public\\Downloads")));
    HMODULE shlwapi = LoadLibraryW(TEXT("shlwapi.dll"));
    ASSERT_NE(nullptr, shlwapi);
    EXPECT_NE(nullptr, GetProcAddress(shlwapi, ordinal(437)));
    EXPECT_EQ(nullptr, LoadLibraryW(TEXT(".\\shlwapi.dll")));
    EXPECT_EQ(nullptr, LoadLibraryW(TEXT("C:\\Users\\Public\\Downloads\\shlwapi.dll")));
    FreeLibrary(shlwapi);
    SetCurrentDirectoryW(TEXT("C:\\"));
}

TEST(SysinfoLibraries, DefaultDirectoriesTakeOnlySearchFlags) {
    EXPECT_TRUE(SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32));
    EXPECT_TRUE(SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
    EXPECT_FALSE(SetDefaultDllDirectories(0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(SetDefaultDllDirectories(LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}
