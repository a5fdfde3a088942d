// Windows' own libraries loaded at run time: the shell's operating-system
// query (shlwapi ordinal 437), missing libraries and exports, and a planted
// library of a system name that must not be loaded in the system's place.
#include "file_conformance.h"
#include "plx_test_machine.h"
#include "plx_testdata.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

using conf::Text;

namespace {

typedef BOOL(WINAPI* IsOSProc)(DWORD);

LPCSTR ordinal(WORD value) { return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(value)); }

template <class T>
T procAs(FARPROC proc) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(proc));
}

// The directory of the running program, with a trailing backslash.
Text programDirectory() {
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    Text full(path, length);
    return full.substr(0, full.find_last_of(TEXT('\\')) + 1);
}

bool isVersionAtLeast(DWORD major, DWORD minor) {
    OSVERSIONINFOW info;
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return false;
    return info.dwMajorVersion > major || (info.dwMajorVersion == major && info.dwMinorVersion >= minor);
}

}  // namespace

TEST(SysinfoLibrary, ShellQueryByOrdinal) {
    CPLXScopedModule shlwapi(LoadLibraryW(TEXT("shlwapi.dll")));
    ASSERT_TRUE(shlwapi.isValid()) << GetLastError();
    IsOSProc isOS = procAs<IsOSProc>(GetProcAddress(shlwapi.get(), ordinal(437)));
    ASSERT_NE(nullptr, isOS) << GetLastError();
    EXPECT_TRUE(isOS(1));  // OS_NT
    // Value 37: Vista or later.
    EXPECT_EQ(isVersionAtLeast(6, 0), isOS(37) != FALSE);
    EXPECT_EQ(isVersionAtLeast(5, 1), isOS(18) != FALSE);  // OS_XPORGREATER
    EXPECT_FALSE(isOS(13));                                // OS_EMBEDDED
    if (plxIsWine()) {
        // Wine answers OS_ANYSERVER with TRUE on every NT system; Windows
        // answers it only on server editions.
        GTEST_SKIP() << "Wine's IsOS(OS_ANYSERVER) is TRUE on desktop systems";
    }
    EXPECT_FALSE(isOS(29));  // OS_ANYSERVER: a desktop system
    EXPECT_TRUE(shlwapi.reset());
}

TEST(SysinfoLibrary, MissingLibraryAndExports) {
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryW(TEXT("plx_no_such_library.dll")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());

    HMODULE shlwapi = LoadLibraryW(TEXT("SHLWAPI"));  // no extension means .dll
    ASSERT_NE(nullptr, shlwapi) << GetLastError();
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(shlwapi, ordinal(65000)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(shlwapi, "PlxNoSuchExport"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_TRUE(FreeLibrary(shlwapi));
}

TEST(SysinfoLibrary, KernelExportsTheSearchRestriction) {
    HMODULE kernel = GetModuleHandleW(TEXT("kernel32.dll"));
    ASSERT_NE(nullptr, kernel) << GetLastError();
    EXPECT_NE(nullptr, GetProcAddress(kernel, "SetDefaultDllDirectories"));
    HMODULE version = LoadLibraryExW(TEXT("version.dll"), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(nullptr, version) << GetLastError();
    EXPECT_NE(nullptr, GetProcAddress(version, "GetFileVersionInfoSizeW"));
    EXPECT_TRUE(FreeLibrary(version));
}

TEST(SysinfoLibrary, PlantedLibraryBesideTheProgramIsNotLoaded) {
    // A library named like a system one, beside the program (as in a
    // download folder).  It has no code and no exports.
    Text planted = programDirectory() + plxW("shlwapi.dll");
    ASSERT_TRUE(CopyFileW((Text(PLX_TESTDATA_DIR) + plxW("\\plxpwm_ie_com.dll")).c_str(), planted.c_str(), FALSE))
        << GetLastError();
    CPLXScopedModule shlwapi(LoadLibraryExW(TEXT("shlwapi.dll"), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    DWORD error = GetLastError();
    const bool loaded = shlwapi.isValid();
    FARPROC isOS = loaded ? GetProcAddress(shlwapi.get(), ordinal(437)) : nullptr;
    shlwapi.reset();  // before the delete: the planted file may be what was loaded
    DeleteFileW(planted.c_str());
    ASSERT_TRUE(loaded) << error;
    EXPECT_NE(nullptr, isOS) << "the planted library was loaded";
}
