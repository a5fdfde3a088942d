// What a process sees of the machine's processor and folders, by its kind:
// a 32-bit program under WOW64 sees an x86 processor of its own beside the
// native x64 one, its ProgramFiles is the x86 folder, and its System32 is
// SysWOW64.  Program Files folders are never redirected.
#include "file_conformance.h"
#include "plx_test_machine.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <cstring>

using conf::Text;

namespace {

Text variable(const char* name) {
    WCHAR value[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(plxW(name).c_str(), value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? Text(value, n) : plxW("<unset>");
}

bool sameText(const Text& a, const char* b) { return lstrcmpiW(a.c_str(), plxW(b).c_str()) == 0; }

bool windows7OrLater() {
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExW(&info) && info.dwMajorVersion * 100 + info.dwMinorVersion >= 601;
}

bool fileExists(const Text& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(ProcessWow64, ProcessorOfTheMachineAndOfTheProcess) {
    SYSTEM_INFO native, own;
    std::memset(&native, 0xCC, sizeof native);
    std::memset(&own, 0xCC, sizeof own);
    GetNativeSystemInfo(&native);
    GetSystemInfo(&own);
    BOOL wow64 = TRUE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    PlxProcessKind kind = plxProcessKind();
    EXPECT_EQ(kind == PlxProcessKind::Wow64, wow64 != FALSE);
    EXPECT_EQ(kind == PlxProcessKind::X86OnX86 ? PROCESSOR_ARCHITECTURE_INTEL : PROCESSOR_ARCHITECTURE_AMD64,
              native.wProcessorArchitecture);
    EXPECT_EQ(kind == PlxProcessKind::X64 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL,
              own.wProcessorArchitecture);
    // A 64-bit program is not the installer's kind: it sees no WOW64.
    if (!PLX_SIMULATED_MACHINE && sizeof(void*) == 8) {
        EXPECT_EQ(PlxProcessKind::X64, kind);
    }
    for (const SYSTEM_INFO* info : {&native, &own}) {
        EXPECT_EQ(4096u, info->dwPageSize);
        EXPECT_EQ(0x10000u, info->dwAllocationGranularity);
        EXPECT_GE(info->dwNumberOfProcessors, 1u);
    }
}

TEST(ProcessWow64, ProgramFilesFoldersAsTheProcessNamesThem) {
    PlxProcessKind kind = plxProcessKind();
    const char* own = kind == PlxProcessKind::Wow64 ? "C:\\Program Files (x86)" : "C:\\Program Files";
    EXPECT_TRUE(sameText(variable("ProgramFiles"), own)) << plxNarrow(variable("ProgramFiles"));
    EXPECT_TRUE(sameText(variable("CommonProgramFiles"), (std::string(own) + "\\Common Files").c_str()));
    if (kind == PlxProcessKind::X86OnX86) {
        EXPECT_TRUE(sameText(variable("ProgramFiles(x86)"), "<unset>"));
        EXPECT_TRUE(sameText(variable("ProgramW6432"), "<unset>"));
    } else {
        EXPECT_TRUE(sameText(variable("ProgramFiles(x86)"), "C:\\Program Files (x86)"));
        if (windows7OrLater()) {
            EXPECT_TRUE(sameText(variable("ProgramW6432"), "C:\\Program Files"));
        }
    }
    WCHAR windows[MAX_PATH];
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_TRUE(sameText(variable("SystemRoot"), plxNarrow(Text(windows, n)).c_str()));
    EXPECT_TRUE(sameText(variable("PROCESSOR_ARCHITECTURE"), kind == PlxProcessKind::X64 ? "AMD64" : "x86"));
}

class ProcessWow64Files : public conf::FileCase {};

TEST_F(ProcessWow64Files, OnlySystem32IsRedirected) {
    WCHAR system[MAX_PATH];
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(n, 0u);
    // Every kind of process names the system directory System32.
    EXPECT_TRUE(sameText(Text(system, n), "C:\\Windows\\system32")) << plxNarrow(system);
    Text name = plxW("plxconf_") + plxW(std::to_string(GetCurrentProcessId()).c_str()) + plxW(".txt");
    Text inSystem = Text(system, n) + plxW("\\") + name;
    Text inWow64 = plxW("C:\\Windows\\SysWOW64\\") + name;
    ASSERT_TRUE(conf::writeFile(inSystem, "x")) << GetLastError();
    EXPECT_EQ(plxProcessKind() == PlxProcessKind::Wow64, fileExists(inWow64)) << plxProcessKindName(plxProcessKind());
    EXPECT_TRUE(DeleteFileW(inSystem.c_str()));
    EXPECT_FALSE(fileExists(inWow64));

    // Program Files and Program Files (x86) are two folders for every process.
    Text dir64 = plxW("C:\\Program Files\\PLXConformance");
    Text dir32 = plxW("C:\\Program Files (x86)\\PLXConformance");
    ASSERT_TRUE(CreateDirectoryW(dir64.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(conf::writeFile(dir64 + plxW("\\") + name, "64"));
    EXPECT_FALSE(fileExists(dir32 + plxW("\\") + name));
    conf::removeTree(dir64);
}
