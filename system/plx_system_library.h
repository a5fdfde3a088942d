// Windows' own libraries, loaded from the system directory only.  A program
// that runs with administrator rights from a folder standard users can write
// to (a download folder) must never load a library planted there under a
// system library's name.  Loading makes no log entries of its own.
#ifndef PLX_SYSTEM_LIBRARY_H
#define PLX_SYSTEM_LIBRARY_H

#include <type_traits>

#include "plx_scoped_handle.h"
#include "plx_win32.h"

class CPLXSystemLibrary {
public:
    // szName is a file name ("version.dll"), looked up in the system directory
    // only: LoadLibraryExW with LOAD_LIBRARY_SEARCH_SYSTEM32, or where the
    // loader does not know that flag (ERROR_INVALID_PARAMETER: Windows 7
    // without its loader update) LoadLibraryW with the full system path.
    // isLoaded() tells whether it was; the library is freed with the object.
    explicit CPLXSystemLibrary(LPCWSTR szName);

    bool isLoaded() const { return m_module.isValid(); }

    // An export as its real function pointer type T, by name or by ordinal;
    // null when the library or the export is missing.
    template <class T>
    T getProc(LPCSTR szExport) const {
        return isLoaded() ? procAs<T>(GetProcAddress(m_module.get(), szExport)) : nullptr;
    }
    template <class T>
    T getProc(WORD wOrdinal) const {
        return getProc<T>(reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(wOrdinal)));
    }

    // Limits the process's own library search to the system directory
    // (SetDefaultDllDirectories) where Windows offers that: Windows 8, and
    // Windows 7 with its loader update.  Reached through kernel32's export,
    // as older systems lack it.
    static void restrictProcessSearch();

private:
    // The detour through a plain function type keeps the compiler's cast checks quiet.
    template <class T>
    static T procAs(FARPROC pProc) {
        static_assert(std::is_pointer<T>::value && std::is_function<typename std::remove_pointer<T>::type>::value,
                      "getProc gives function pointers");
        return reinterpret_cast<T>(reinterpret_cast<void (*)()>(pProc));
    }

    CPLXScopedModule m_module;
};

#endif
