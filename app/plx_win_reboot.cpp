#include "plx_win_reboot.h"

#include "plx_exceptions.h"
#include "plx_handlers.h"
#include "plx_message_box.h"
#include "plx_method_trace.h"

CPLXWinReboot::CPLXWinReboot() : m_privileges() {
    PLX_TRACE("CPLXWinReboot", "Default Constructor");
    m_privileges.PrivilegeCount = 1;
    plxTrace.done();
}

CPLXWinReboot::~CPLXWinReboot() {
    PLX_TRACE("CPLXWinReboot", "Destructor");
    try {
        m_token.reset();  // before the trace's EXIT line
    }
    PLX_CATCH_ALL_SWALLOW
    plxTrace.done();
}

bool CPLXWinReboot::setShutdownPrivilege() {
    PLX_TRACE("CPLXWinReboot", "setShutdownPrivilege");
    try {
        // A second call reuses the token opened by the first instead of leaking it.
        if (!m_token.isValid()) {
            const HANDLE hProcess = GetCurrentProcess();
            if (hProcess == nullptr) {
                return plxTrace.success(false);
            }
            try {
                HANDLE hToken = nullptr;
                if (!OpenProcessToken(hProcess, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken)) {
                    throw CPLXOpenProcessTokenException(TEXT("hProcess"), GetLastError(), PLX_SRC, PLX_LOG_NOW);
                }
                m_token.reset(hToken);
            } catch (CPLXOpenProcessTokenException& e) {
                plxReportCaught(e);
                return plxTrace.success(false);
            }
        }
        if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &m_privileges.Privileges[0].Luid)) {
            return plxTrace.success(false);
        }
        m_privileges.PrivilegeCount = 1;
        m_privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        // AdjustTokenPrivileges succeeds with ERROR_NOT_ALL_ASSIGNED for a
        // privilege the token does not hold: that is no enabled privilege.
        const BOOL bAdjusted = AdjustTokenPrivileges(m_token.get(), FALSE, &m_privileges, 0, nullptr, nullptr);
        return plxTrace.success(bAdjusted != FALSE && GetLastError() != ERROR_NOT_ALL_ASSIGNED);
    }
    PLX_CATCH_ALL_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXWinReboot::restoreShutdownPrivilege() {
    PLX_TRACE("CPLXWinReboot", "restoreShutdownPrivilege");
    try {
        m_privileges.PrivilegeCount = 1;
        m_privileges.Privileges[0].Attributes = 0;
        if (m_token.isValid()) {
            AdjustTokenPrivileges(m_token.get(), FALSE, &m_privileges, 0, nullptr, nullptr);
        }
    }
    PLX_CATCH_ALL_SWALLOW
    plxTrace.done();
    return true;
}

bool CPLXWinReboot::doReboot(ULONG ulAction, bool bAsk, const CPLXWCharString& title, const CPLXWCharString& text,
                             HWND hOwner) {
    PLX_TRACE("CPLXWinReboot", "doReboot");
    bool bResult = false;
    try {
        UINT uFlags = 0;
        if (ulAction == PLX_REBOOT_RESTART) {
            uFlags = EWX_REBOOT | EWX_FORCEIFHUNG;
        } else if (ulAction == PLX_REBOOT_POWEROFF) {
            uFlags = EWX_POWEROFF | EWX_FORCEIFHUNG;
        } else {
            // No other action exists; EWX_LOGOFF (0) must not follow from a bad value.
            throw CPLXBadArgException(TEXT("ulAction"), TEXT("must be 0 (restart) or 1 (power off)"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        bResult = setShutdownPrivilege();
        if (!bResult) {
            return plxTrace.success(false);
        }
        if (bAsk) {
            CPLXMessageBox box(hOwner, title, text, CPLXFlags(0));
            box.addFlags(MB_YESNO);
            if (!box.setTitle(title) || !box.setMsg(text) || !box.showMessageBox() || box.getResult() != IDYES) {
                return plxTrace.success(true);
            }
        }
        bResult = ExitWindowsEx(uFlags, 0) == TRUE;
        return plxTrace.success(bResult);
    } catch (CPLXLogging& e) {
        plxReportCaught(e);
    } catch (...) {
        plxReportUnhandled(GetLastError(), PLX_SRC);
    }
    return plxTrace.success(bResult);
}

bool CPLXWinReboot::rebootSystem(bool bAsk, const CPLXWCharString& title, const CPLXWCharString& text, HWND hOwner) {
    PLX_TRACE("CPLXWinReboot", "rebootSystem");
    const bool bResult = doReboot(PLX_REBOOT_RESTART, bAsk, title, text, hOwner);
    restoreShutdownPrivilege();
    return plxTrace.success(bResult);
}
