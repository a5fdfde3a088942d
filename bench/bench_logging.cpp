// The cost of the diagnostic log: an entry that the filter drops, an entry
// written to the text log, an entry with logging off, and a traced operation
// with method traces off and on.
//
//   bench_logging            (on the simulated machine a fresh machine is made)
#include <chrono>
#include <cstdio>
#include <string>

#include "plx_flags.h"
#include "plx_logging.h"
#include "plx_logging_output_text.h"
#include "plx_scoped_handle.h"
#include "plx_test_machine.h"
#include "plx_win32.h"

namespace {

const WCHAR kLogDir[] = TEXT("C:\\plxbench");
const WCHAR kLogFile[] = TEXT("C:\\plxbench\\log.txt");

void setDword(HKEY hKey, const WCHAR* szName, DWORD ulValue) {
    RegSetValueExW(hKey, szName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ulValue), sizeof(ulValue));
}

bool configure(DWORD ulLogging, DWORD ulDetail) {
    CPLXScopedRegKey hKey;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, PLX_LOGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, hKey.out(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    setDword(hKey.get(), TEXT("Logging"), ulLogging);
    setDword(hKey.get(), TEXT("LogDetail"), ulDetail);
    RegSetValueExW(hKey.get(), TEXT("TextOutput"), 0, REG_SZ, reinterpret_cast<const BYTE*>(kLogFile),
                   sizeof(kLogFile));
    return true;
}

// Runs op n times and prints the mean time per call.
template <class Op>
void measure(const char* szWhat, int n, Op op) {
    op();  // warm up
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) {
        op();
    }
    double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / n;
    std::printf("%-52s %12.0f ns  (%d calls)\n", szWhat, ns, n);
}

bool logEntry(ULONG ulLevel) {
    CPLXDetailedLog entry(ulLevel, TEXT("Unable to allocate memory ( m_pBuffer )"), 0, rkErrorCode, TEXT("CPLXBench"),
                          TEXT("run"), TEXT(".\\bench_logging.cpp"), 42, false, false, PLX_OUTPUT_TEXT);
    return entry.logNow();
}

volatile bool g_bSink = false;

}  // namespace

int main() {
    std::string machine;
    if (PLX_SIMULATED_MACHINE && GetEnvironmentVariableW(TEXT("PLX_MACHINE"), nullptr, 0) == 0) {
        machine = plxCreateMachineDir();
        std::u16string value(machine.begin(), machine.end());
        SetEnvironmentVariableW(TEXT("PLX_MACHINE"), reinterpret_cast<const WCHAR*>(value.c_str()));
    }
    CreateDirectoryW(kLogDir, nullptr);
    DeleteFileW(kLogFile);
    if (!configure(1, 0x1B)) {
        std::fprintf(stderr, "cannot write the logging key\n");
        return 1;
    }
    g_dynamicLoggingState = 2;

    measure("entry filtered out (DEBUG, detail 0x1B)", 2000, [] { g_bSink = logEntry(PLX_LEVEL_DEBUG); });
    if (logEntry(PLX_LEVEL_DEBUG)) {
        std::fprintf(stderr, "a DEBUG entry was written\n");
    }
    measure("entry written (ERROR, detail 0x1B)", 2000, [] { g_bSink = logEntry(PLX_LEVEL_ERROR); });
    if (!logEntry(PLX_LEVEL_ERROR)) {
        std::fprintf(stderr, "an ERROR entry was not written\n");
    }
    CPLXFlags flags(0x0A);
    measure("untraced getFlags (baseline)", 1000000, [&] { g_bSink = flags.getFlags() == 8; });
    measure("traced hasFlags, traces off", 1000000, [&] { g_bSink = flags.hasFlags(0x08); });

    g_dynamicLoggingState = 1;
    measure("traced hasFlags, traces on, ENTRY/EXIT filtered out", 2000, [&] { g_bSink = flags.hasFlags(0x08); });
    configure(1, 0x31B);
    measure("traced hasFlags, traces on, ENTRY and EXIT written", 1000, [&] { g_bSink = flags.hasFlags(0x08); });
    g_dynamicLoggingState = 2;

    configure(0, 0x1B);
    measure("entry with logging off", 5000, [] { g_bSink = logEntry(PLX_LEVEL_ERROR); });

    std::printf("text log bytes written by this process: %u, rotations: %d\n", static_cast<unsigned>(g_logBytesWritten),
                static_cast<int>(g_logRotations));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, PLX_LOGS_KEY);
    DeleteFileW(kLogFile);
    RemoveDirectoryW(kLogDir);
    if (!machine.empty()) {
        plxRemoveMachineDir(machine);
    }
    return 0;
}
