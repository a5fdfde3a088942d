// Turns one named privilege of an access token on or off.
#ifndef PLX_WINDOWSPROCESS_H
#define PLX_WINDOWSPROCESS_H

#include "plx_win32.h"
#include "plx_wchar_string.h"

class CPLXWindowsProcess {
public:
    CPLXWindowsProcess();
    ~CPLXWindowsProcess();

    // Enables (bEnable) or disables the privilege szName ("SeBackupPrivilege",
    // ...) in hToken.  A null hToken means the process's own token, which is
    // opened and closed again here; a caller's token is left open.  True when
    // AdjustTokenPrivileges succeeded.
    bool setPrivilege(const CPLXWCharString& szName, bool bEnable, HANDLE& hToken);
};

#endif
