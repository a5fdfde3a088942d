// The process's module, directories, environment, local time and last error.
#include "file_conformance.h"

#include "plx_test_machine.h"

#include <atomic>
#include <thread>

using namespace conf;

TEST(ProcessModule, ModuleFileNameEndsWithTheProgram) {
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(static_cast<DWORD>(lstrlenW(path)), n);
    std::string name = plxNarrow(path);
    EXPECT_EQ(':', name[1]) << name;
    EXPECT_EQ('\\', name[2]) << name;
    std::string file = name.substr(name.find_last_of('\\') + 1);
    EXPECT_EQ(0u, file.find("plx_conformance")) << name;

    EXPECT_EQ(n, GetModuleFileNameW(GetModuleHandleW(nullptr), path, MAX_PATH));
}

TEST(ProcessModule, ModuleFileNameTruncates) {
    WCHAR full[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, full, MAX_PATH);
    ASSERT_GT(n, 5u);
    WCHAR small[5];
    for (WCHAR& c : small) c = static_cast<WCHAR>('#');
    SetLastError(0);
    EXPECT_EQ(5u, GetModuleFileNameW(nullptr, small, 5));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    if (plxIsWine()) {
        // Wine copies nSize characters without a terminator, as Windows XP did.
        EXPECT_EQ(plxNarrow(Text(full, 5)), plxNarrow(Text(small, 5)));
    } else {
        EXPECT_EQ(0, small[4]) << "truncated to nSize characters including the terminator";
        EXPECT_EQ(plxNarrow(Text(full, 4)), plxNarrow(small));
    }
}

TEST(ProcessModule, ModuleHandles) {
    HMODULE self = GetModuleHandleW(nullptr);
    EXPECT_NE(nullptr, self);
    WCHAR path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    EXPECT_EQ(self, GetModuleHandleW(path)) << "the program by its full path";
    Text file(path);
    file = file.substr(file.find_last_of(static_cast<WCHAR>('\\')) + 1);
    EXPECT_EQ(self, GetModuleHandleW(file.c_str())) << "the program by its file name";
    EXPECT_EQ(nullptr, GetModuleHandleW(TEXT("plx_no_such_module.dll")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST(ProcessDirectories, CurrentDirectoryCounting) {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    ASSERT_GT(needed, 3u) << "size including the terminator";
    Text buffer(needed, 0);
    EXPECT_EQ(needed - 1, GetCurrentDirectoryW(needed, &buffer[0]));
    EXPECT_EQ(needed - 1, static_cast<DWORD>(lstrlenW(buffer.c_str())));
    EXPECT_EQ(needed, GetCurrentDirectoryW(needed - 1, &buffer[0])) << "too small: the size needed";
}

TEST(ProcessDirectories, SetCurrentDirectoryResolvesRelativePaths) {
    WCHAR saved[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, saved), 0u);
    CreateDirectoryW(TEXT("C:\\plxconformance"), nullptr);
    CreateDirectoryW(TEXT("C:\\plxconformance\\cwd"), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryW(TEXT("C:\\plxconformance\\cwd")));
    WCHAR now[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(0, lstrcmpiW(TEXT("C:\\plxconformance\\cwd"), now)) << plxNarrow(now);
    EXPECT_TRUE(writeFile(plxW("relative.txt"), "rel"));
    EXPECT_EQ("rel", readFile(plxW("C:\\plxconformance\\cwd\\relative.txt")));
    EXPECT_EQ("rel", readFile(plxW("..\\cwd\\relative.txt")));
    EXPECT_FALSE(SetCurrentDirectoryW(TEXT("C:\\plxconformance\\cwd\\missing")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    ASSERT_TRUE(SetCurrentDirectoryW(saved));
    removeTree(plxW("C:\\plxconformance\\cwd"));
}

TEST(ProcessDirectories, SystemDirectories) {
    WCHAR buffer[MAX_PATH];
    UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(TEXT("C:\\windows"), buffer)) << plxNarrow(buffer);
    EXPECT_EQ(static_cast<UINT>(lstrlenW(buffer)), n);
    EXPECT_EQ(n + 1, GetWindowsDirectoryW(buffer, n)) << "too small: the size needed";
    n = GetSystemDirectoryW(buffer, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(TEXT("C:\\windows\\system32"), buffer)) << plxNarrow(buffer);
}

TEST(ProcessEnvironment, GetAndSetCounting) {
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXConfVar"), TEXT("value")));
    EXPECT_EQ(6u, GetEnvironmentVariableW(TEXT("PLXConfVar"), nullptr, 0)) << "size including the terminator";
    WCHAR buffer[16];
    lstrcpyW(buffer, TEXT("foo"));
    EXPECT_EQ(6u, GetEnvironmentVariableW(TEXT("PLXConfVar"), buffer, 5));
    EXPECT_EQ("foo", plxNarrow(buffer)) << "a buffer too small is not touched";
    EXPECT_EQ(5u, GetEnvironmentVariableW(TEXT("plxconfvar"), buffer, 16)) << "names ignore case";
    EXPECT_EQ("value", plxNarrow(buffer));

    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXConfVar"), TEXT("")));
    lstrcpyW(buffer, TEXT("foo"));
    SetLastError(0);
    EXPECT_EQ(0u, GetEnvironmentVariableW(TEXT("PLXConfVar"), buffer, 16));
    EXPECT_EQ("", plxNarrow(buffer)) << "an empty value is copied";
    // Windows reports it as not found; Wine leaves the last error at 0.
    if (!plxIsWine()) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError()) << "and reported as not found";
    }

    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXCONFVAR"), nullptr));
    SetLastError(0);
    EXPECT_EQ(0u, GetEnvironmentVariableW(TEXT("PLXConfVar"), buffer, 16));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
}

TEST(ProcessEnvironment, ExpandCounting) {
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXDrive"), TEXT("D:")));
    WCHAR buffer[64];
    DWORD n = ExpandEnvironmentStringsW(TEXT("%PLXDrive%\\dir"), buffer, 64);
    EXPECT_EQ("D:\\dir", plxNarrow(buffer));
    EXPECT_EQ(7u, n) << "the count includes the terminator";
    EXPECT_EQ(7u, ExpandEnvironmentStringsW(TEXT("%plxdrive%\\dir"), nullptr, 0));
    WCHAR small[4];
    for (WCHAR& c : small) c = static_cast<WCHAR>('#');
    EXPECT_EQ(7u, ExpandEnvironmentStringsW(TEXT("%PLXDrive%\\dir"), small, 4)) << "too small: the size needed";
    EXPECT_EQ("D:\\", plxNarrow(Text(small, 3)));
    EXPECT_EQ(0, small[3]) << "what fits, terminated";

    n = ExpandEnvironmentStringsW(TEXT("%PLXNoSuchVar%\\x"), buffer, 64);
    EXPECT_EQ("%PLXNoSuchVar%\\x", plxNarrow(buffer)) << "unknown names stay";
    EXPECT_EQ(17u, n);
    ExpandEnvironmentStringsW(TEXT("100% sure"), buffer, 64);
    EXPECT_EQ("100% sure", plxNarrow(buffer));
    ExpandEnvironmentStringsW(TEXT("%PLXNoSuchVar%%PLXDrive%"), buffer, 64);
    EXPECT_EQ("%PLXNoSuchVar%D:", plxNarrow(buffer)) << "an unknown name keeps both of its % signs";
    SetEnvironmentVariableW(TEXT("PLXDrive"), nullptr);
}

TEST(ProcessEnvironment, LocalTimeIsPlausible) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_GE(now.wYear, 2020);
    EXPECT_GE(now.wMonth, 1);
    EXPECT_LE(now.wMonth, 12);
    EXPECT_GE(now.wDay, 1);
    EXPECT_LE(now.wDay, 31);
    EXPECT_LE(now.wHour, 23);
    EXPECT_LE(now.wDayOfWeek, 6);
    EXPECT_LE(now.wMilliseconds, 999);
}

TEST(ProcessErrors, LastErrorIsPerThread) {
    // No system call between setting and reading: thread start and join change the last error.
    std::atomic<int> step{0};
    DWORD seenByOther = 0, seenHere = 0;
    std::thread other([&] {
        SetLastError(42);
        step = 1;
        while (step != 2) {
        }
        seenByOther = GetLastError();
    });
    while (step != 1) {
    }
    SetLastError(1234);
    step = 2;
    seenHere = GetLastError();
    other.join();
    EXPECT_EQ(42u, seenByOther);
    EXPECT_EQ(1234u, seenHere);
    EXPECT_NE(0u, GetCurrentProcessId());
}
