#include "hotfix_system_dll.h"

#include "plx_wchar_string.h"

namespace {
typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);

// Windows 7 without the loader update knows neither the search flags nor
// SetDefaultDllDirectories, so both are reached without a static import.
HMODULE loadByFullPath(LPCWSTR szName)
{
    WCHAR szSystem[MAX_PATH] = {};
    UINT uLength = GetSystemDirectoryW(szSystem, MAX_PATH);
    if (uLength == 0 || uLength >= MAX_PATH)
        return nullptr;
    CPLXWCharString szPath(szSystem);
    szPath += CPLXWCharString(TEXT("\\"));
    szPath += CPLXWCharString(szName);
    return LoadLibraryW(szPath.c_str());
}
}  // namespace

void restrictDllSearchToSystem()
{
    HMODULE hKernel = GetModuleHandleW(TEXT("kernel32.dll"));
    if (hKernel == nullptr)
        return;
    SetDefaultDllDirectoriesProc pSetDefault =
        procAs<SetDefaultDllDirectoriesProc>(GetProcAddress(hKernel, "SetDefaultDllDirectories"));
    if (pSetDefault != nullptr)
        pSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

SystemLibrary::SystemLibrary(LPCWSTR szName) : m_hModule(nullptr)
{
    m_hModule = LoadLibraryExW(szName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (m_hModule == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
        m_hModule = loadByFullPath(szName);
}

SystemLibrary::~SystemLibrary()
{
    if (m_hModule != nullptr)
        FreeLibrary(m_hModule);
}

FARPROC SystemLibrary::getProc(LPCSTR szExport) const
{
    return m_hModule == nullptr ? nullptr : GetProcAddress(m_hModule, szExport);
}
