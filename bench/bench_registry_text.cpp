// The cost of the registry text format: export of a key tree of N values to
// a file and import of that file, for N from 100 to 10,000 (100 values a key,
// so that every section stays within what one read takes).  The time per
// value should stay about the same as N grows.
//
//   bench_registry_text [MAX_VALUES]     (on the simulated machine a fresh machine is made)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "plx_registry_key.h"
#include "plx_scoped_handle.h"
#include "plx_test_machine.h"
#include "plx_win32.h"

namespace {

const WCHAR kTree[] = TEXT("Software\\PLXBenchText");
const WCHAR kFile[] = TEXT("C:\\plxbench\\tree.txt");

// N values (REG_SZ and REG_DWORD by turns) in N / 100 keys below kTree.
bool build(int n) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTree);
    for (int k = 0; k * 100 < n; ++k) {
        std::basic_string<WCHAR> path = kTree;
        path += TEXT("\\key");
        for (char c : std::to_string(k)) path += static_cast<WCHAR>(c);
        CPLXScopedRegKey hKey;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, hKey.out(),
                            nullptr) != ERROR_SUCCESS)
            return false;
        for (int v = 0; v < 100 && k * 100 + v < n; ++v) {
            std::basic_string<WCHAR> name = TEXT("value");
            for (char c : std::to_string(v)) name += static_cast<WCHAR>(c);
            DWORD number = static_cast<DWORD>(v);
            static const WCHAR kText[] = TEXT("a text of some thirty characters");
            LSTATUS status = v % 2 ? RegSetValueExW(hKey.get(), name.c_str(), 0, REG_DWORD,
                                                    reinterpret_cast<const BYTE*>(&number), sizeof number)
                                   : RegSetValueExW(hKey.get(), name.c_str(), 0, REG_SZ,
                                                    reinterpret_cast<const BYTE*>(kText), sizeof kText);
            if (status != ERROR_SUCCESS) return false;
        }
    }
    return true;
}

double secondsOf(bool (*step)()) {
    auto start = std::chrono::steady_clock::now();
    if (!step()) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool exportTree() {
    return CPLXRegistryKey(HKEY_CURRENT_USER, CPLXWCharString(kTree), KEY_READ)
        .exportKey(CPLXWCharString(kFile), 8, true);
}

bool importTree() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTree);
    return CPLXRegistryKey().importKey(CPLXWCharString(kFile), 16);
}

}  // namespace

int main(int argc, char** argv) {
    const int maxValues = argc > 1 ? std::atoi(argv[1]) : 10000;
    TestMachine machine;
    machine.file("C:\\plxbench\\keep.txt", "").create();
    std::printf("%10s %12s %12s %16s %16s\n", "values", "export (s)", "import (s)", "export (us/val)",
                "import (us/val)");
    for (int n = 100; n <= maxValues; n *= 10) {
        if (!build(n)) {
            std::printf("%10d cannot build the tree\n", n);
            return 1;
        }
        const double exported = secondsOf(exportTree);
        const double imported = secondsOf(importTree);
        if (exported < 0 || imported < 0) {
            std::printf("%10d the %s failed\n", n, exported < 0 ? "export" : "import");
            return 1;
        }
        std::printf("%10d %12.3f %12.3f %16.1f %16.1f\n", n, exported, imported, exported * 1e6 / n,
                    imported * 1e6 / n);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kTree);
    return 0;
}
