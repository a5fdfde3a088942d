// The floor for one silent hotfix run on the demo computer: the platform calls
// that the patch itself needs, made directly, without gate checks, product
// lookup, version comparison or the class library.  Two moves to ".bak", two
// copies, the record key with its two values and the patch log line.
//
//   PLX_MACHINE=<demo machine> bench_bare_patch
//
// Run from the machine's C:\Users\Public\Downloads, like the installer.
#include "plx_win32.h"

#include <cstdio>

namespace {
const WCHAR* const kDir64 = TEXT("C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll");
const WCHAR* const kDir32 = TEXT("C:\\Program Files (x86)\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll");
const WCHAR* const kBak64 = TEXT("C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll.bak");
const WCHAR* const kBak32 = TEXT("C:\\Program Files (x86)\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll.bak");
const WCHAR* const kNew64 = TEXT("C:\\Users\\Public\\Downloads\\plxpwm_ie_com_x64.dll");
const WCHAR* const kNew32 = TEXT("C:\\Users\\Public\\Downloads\\plxpwm_ie_com.dll");
const WCHAR* const kRecord = TEXT("SOFTWARE\\Orvane\\Vaultline Security Suite\\Patch\\8106");
const WCHAR* const kLog = TEXT("C:\\Program Files (x86)\\Orvane\\Vaultline Security Suite\\patchlog8106.txt");
const WCHAR kDescription[] = TEXT("Resolve null pointer result in IE crash.");
const WCHAR kUpdated[] = TEXT("plxpwm_ie_com.dll\0");  // the list and its terminating empty string
const WCHAR kLine[] =
    TEXT("The installation of the patch has completed. Please restart system to enable changes. User select: 7\r\n");

bool replace(const WCHAR* szNew, const WCHAR* szTarget, const WCHAR* szBackup) {
    MoveFileExW(szTarget, szBackup, MOVEFILE_REPLACE_EXISTING);
    return CopyFileW(szNew, szTarget, FALSE) != FALSE;
}
}  // namespace

int main() {
    if (!replace(kNew64, kDir64, kBak64) || !replace(kNew32, kDir32, kBak32)) {
        std::fprintf(stderr, "copy failed (%u)\n", static_cast<unsigned>(GetLastError()));
        return 1;
    }

    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecord, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS) {
        std::fprintf(stderr, "record key failed\n");
        return 1;
    }
    RegSetValueExW(hKey, TEXT("description"), 0, REG_SZ, reinterpret_cast<const BYTE*>(kDescription),
                   sizeof(kDescription));
    RegSetValueExW(hKey, TEXT("updated"), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kUpdated), sizeof(kUpdated));
    RegCloseKey(hKey);

    HANDLE hLog =
        CreateFileW(kLog, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "patch log failed\n");
        return 1;
    }
    DWORD dwWritten = 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        SetFilePointer(hLog, 0, nullptr, FILE_END);
    } else {
        static const BYTE kBom[2] = {0xFF, 0xFE};
        WriteFile(hLog, kBom, sizeof(kBom), &dwWritten, nullptr);
    }
    WriteFile(hLog, kLine, sizeof(kLine) - sizeof(WCHAR), &dwWritten, nullptr);
    CloseHandle(hLog);
    return 0;
}
