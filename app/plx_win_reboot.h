// Restarts or powers off Windows for the calling process: enables the
// shutdown privilege, optionally asks the user once more, calls ExitWindowsEx
// and disables the privilege again.
#ifndef PLX_WIN_REBOOT_H
#define PLX_WIN_REBOOT_H

#include "plx_scoped_handle.h"
#include "plx_win32.h"
#include "plx_wchar_string.h"

#define PLX_REBOOT_RESTART 0
#define PLX_REBOOT_POWEROFF 1

class CPLXWinReboot {
public:
    CPLXWinReboot();
    // Closes the process token if it was opened.
    ~CPLXWinReboot();
    CPLXWinReboot(const CPLXWinReboot&) = delete;
    CPLXWinReboot& operator=(const CPLXWinReboot&) = delete;

    // True when "SeShutdownPrivilege" was enabled in the process token.
    bool setShutdownPrivilege();
    // Disables the privilege again; always true.
    bool restoreShutdownPrivilege();
    // ulAction PLX_REBOOT_RESTART or PLX_REBOOT_POWEROFF.  With bAsk a Yes/No
    // box asks first; any answer but Yes leaves Windows running and gives true.
    bool doReboot(ULONG ulAction, bool bAsk, const CPLXWCharString& title, const CPLXWCharString& text, HWND hOwner);
    // doReboot with a restart, then the privilege is disabled whatever happened.
    bool rebootSystem(bool bAsk, const CPLXWCharString& title, const CPLXWCharString& text, HWND hOwner);

private:
    CPLXScopedToken m_token;
    TOKEN_PRIVILEGES m_privileges;
};

#endif
