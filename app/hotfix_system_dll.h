// Loading Windows' own libraries from the system directory only.  The
// installer runs with administrator rights from a download folder, where a
// planted library of the same name must never be loaded instead.
#ifndef HOTFIX_SYSTEM_DLL_H
#define HOTFIX_SYSTEM_DLL_H

#include "plx_win32.h"

// Limits the process's library search to the system directory where Windows
// offers that (Windows 8, and Windows 7 with the loader update).
void restrictDllSearchToSystem();

// A function pointer from GetProcAddress as its real type (the detour through
// a plain function type keeps the compiler's cast checks quiet).
template <class T>
T procAs(FARPROC pProc)
{
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(pProc));
}

// A system library loaded from the system directory, freed on destruction.
class SystemLibrary {
public:
    explicit SystemLibrary(LPCWSTR szName);
    ~SystemLibrary();
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool isLoaded() const { return m_hModule != nullptr; }
    // Null when the library or the export is missing.
    FARPROC getProc(LPCSTR szExport) const;

private:
    HMODULE m_hModule;
};

#endif
