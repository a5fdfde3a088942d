// Restart, shut down and log off.  As on Windows the request is asynchronous:
// the call records it on the machine's screen and returns, and the program
// keeps running.  A restart or shutdown drops the volatile registry keys.
#include "internal.h"
#include "plx_screen_log.h"

using namespace plxsim;

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
    (void)dwReason;
    ApiCall call("ExitWindowsEx", CallSubject::hex(uFlags));
    if (call.fault()) return call.fail(FALSE);
    const char* action;
    if (uFlags & EWX_POWEROFF)
        action = "poweroff";
    else if (uFlags & EWX_REBOOT)
        action = "reboot";
    else if (uFlags & EWX_SHUTDOWN)
        action = "shutdown";
    else
        action = "logoff";
    bool logoffOnly = (uFlags & (EWX_POWEROFF | EWX_REBOOT | EWX_SHUTDOWN)) == 0;
    // Ending one's own session needs no privilege; stopping the machine does.
    if (!logoffOnly && !privilegeEnabled(u"SeShutdownPrivilege")) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    screenLog(plxtext::screenLogExitLine(action, uFlags));
    if (!logoffOnly) registryRestart();
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
