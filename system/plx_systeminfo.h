// The library's machine-wide storage folder below Windows' common
// application data folder (C:\ProgramData\Orvane\ from Windows Vista on).
#ifndef PLX_SYSTEMINFO_H
#define PLX_SYSTEMINFO_H

#include "plx_win32.h"
#include "plx_wchar_string.h"

// Storage kinds: the folder names of the library's constant table.
#define PLX_STORAGE_VENDOR 0

class CPLXSystemInfo {
public:
    explicit CPLXSystemInfo(ULONG ulStorageKind = PLX_STORAGE_VENDOR);
    virtual ~CPLXSystemInfo();

    // The folder with a trailing backslash, created (one level) when it is
    // missing.  False, path unchanged, when the shell cannot name the common
    // application data folder or the kind is unknown (both logged).
    virtual bool getStoragePath(CPLXWCharString& path);

private:
    ULONG m_ulStorageKind;
};

#endif
