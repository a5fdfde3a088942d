// The Windows version and processor of the machine ([Windows] Version and
// Architecture of machine.ini), as a 32-bit program sees them.
#include "internal.h"

#include <cstring>

namespace {

struct Release {
    DWORD major, minor, build;
    const char16_t* servicePack;  // szCSDVersion
    WORD servicePackMajor;
};

// The last release of each version with its final service pack.
const Release kReleases[] = {
    {5, 0, 2195, u"Service Pack 4", 4},
    {5, 1, 2600, u"Service Pack 3", 3},
    {5, 2, 3790, u"Service Pack 2", 2},
    {6, 0, 6002, u"Service Pack 2", 2},
    {6, 1, 7601, u"Service Pack 1", 1},
    {6, 2, 9200, u"", 0},
    {6, 3, 9600, u"", 0},
    {10, 0, 19045, u"", 0},
};

const WORD kVerSuiteSingleUserTs = 0x0100;
const BYTE kVerNtWorkstation = 1;
const DWORD kProcessorIntelPentium = 586;
const DWORD kProcessorAmdX8664 = 8664;

const Release* releaseOf(DWORD major, DWORD minor) {
    for (const Release& r : kReleases)
        if (r.major == major && r.minor == minor) return &r;
    return nullptr;
}

// What every process sees alike; the architecture-dependent fields are set by the callers.
void fillCommon(SYSTEM_INFO* info) {
    std::memset(info, 0, sizeof *info);
    info->dwPageSize = 4096;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(0x10000));
    info->dwActiveProcessorMask = 0x3;
    info->dwNumberOfProcessors = 2;
    info->dwAllocationGranularity = 0x10000;
    info->wProcessorLevel = 6;
    info->wProcessorRevision = 0x9e0a;
}

void fillIntel(SYSTEM_INFO* info) {
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    info->dwProcessorType = kProcessorIntelPentium;
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(0x7FFEFFFF));
}

}  // namespace

using namespace plxsim;

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    ApiCall call("GetVersionExW");
    if (call.fault()) return call.fail(FALSE);
    if (!lpVersionInformation) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const MachineConfig& config = machine();
    const Release* release = releaseOf(config.versionMajor, config.versionMinor);
    // Only the size field stays as the caller set it.
    std::memset(reinterpret_cast<BYTE*>(lpVersionInformation) + sizeof(DWORD), 0, size - sizeof(DWORD));
    lpVersionInformation->dwMajorVersion = config.versionMajor;
    lpVersionInformation->dwMinorVersion = config.versionMinor;
    lpVersionInformation->dwBuildNumber = release ? release->build : 0;
    lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
    if (release) {
        std::u16string sp = release->servicePack;
        sp.copy(lpVersionInformation->szCSDVersion, sp.size());
    }
    if (size == sizeof(OSVERSIONINFOEXW)) {
        OSVERSIONINFOEXW* ex = reinterpret_cast<OSVERSIONINFOEXW*>(lpVersionInformation);
        ex->wServicePackMajor = release ? release->servicePackMajor : 0;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = kVerSuiteSingleUserTs;
        ex->wProductType = kVerNtWorkstation;
    }
    return TRUE;
}

void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    if (!lpSystemInfo) return;
    fillCommon(lpSystemInfo);
    if (machine().x64) {
        lpSystemInfo->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
        lpSystemInfo->dwProcessorType = kProcessorAmdX8664;
        lpSystemInfo->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(0x7FFFFFFEFFFFULL));
    } else {
        fillIntel(lpSystemInfo);
    }
}

void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    // The program is a 32-bit process: it sees an x86 processor on either machine.
    if (!lpSystemInfo) return;
    fillCommon(lpSystemInfo);
    fillIntel(lpSystemInfo);
}

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
    ApiCall call("IsWow64Process");
    if (call.fault()) return call.fail(FALSE);
    // The program is a 32-bit process: under WOW64 exactly when the machine is x64.
    if (hProcess != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!Wow64Process) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *Wow64Process = machine().x64 ? TRUE : FALSE;
    return TRUE;
}
