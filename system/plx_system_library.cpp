#include "plx_system_library.h"

namespace {
// The library's full path in the system directory, or null when it would not
// fit in MAX_PATH characters.
HMODULE loadByFullPath(LPCWSTR szName) {
    WCHAR szPath[MAX_PATH + 1] = {};
    const UINT uLength = GetSystemDirectoryW(szPath, MAX_PATH);
    if (uLength == 0 || uLength >= MAX_PATH) {
        return nullptr;
    }
    UINT uEnd = uLength;
    szPath[uEnd++] = '\\';
    for (LPCWSTR p = szName; *p != 0; ++p) {
        if (uEnd >= MAX_PATH) {
            return nullptr;
        }
        szPath[uEnd++] = *p;
    }
    szPath[uEnd] = 0;
    return LoadLibraryW(szPath);
}

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
}  // namespace

CPLXSystemLibrary::CPLXSystemLibrary(LPCWSTR szName)
    : m_module(LoadLibraryExW(szName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (!m_module.isValid() && GetLastError() == ERROR_INVALID_PARAMETER) {
        m_module.reset(loadByFullPath(szName));
    }
}

void CPLXSystemLibrary::restrictProcessSearch() {
    const HMODULE hKernel = GetModuleHandleW(TEXT("kernel32.dll"));
    if (hKernel == nullptr) {
        return;
    }
    const SetDefaultDllDirectoriesProc pSetDefault =
        procAs<SetDefaultDllDirectoriesProc>(GetProcAddress(hKernel, "SetDefaultDllDirectories"));
    if (pSetDefault != nullptr) {
        pSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}
