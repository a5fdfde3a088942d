#include "plx_windowsprocess.h"

#include "plx_handlers.h"
#include "plx_method_trace.h"
#include "plx_scoped_handle.h"

namespace {

// The process token that setPrivilege opened itself: a close that fails is reported.
struct CLocalTokenTraits : CPLXTokenTraits {
    static bool close(HANDLE hToken) {
        if (CPLXTokenTraits::close(hToken)) {
            return true;
        }
        CCloseHandleWarning(TEXT("hLocalToken"), GetLastError(), PLX_SRC, PLX_LOG_NOW);
        return false;
    }
};

}  // namespace

CPLXWindowsProcess::CPLXWindowsProcess() {
    PLX_TRACE("CPLXWindowsProcess", "Constructor");
    plxTrace.done();
}

CPLXWindowsProcess::~CPLXWindowsProcess() {
    PLX_TRACE("CPLXWindowsProcess", "Destructor ~CPLXWindowsProcess");
    plxTrace.done();
}

bool CPLXWindowsProcess::setPrivilege(const CPLXWCharString& szName, bool bEnable, HANDLE& hToken) {
    PLX_TRACE("CPLXWindowsProcess", "setPrivilege");
    try {
        CPLXScopedHandle<CLocalTokenTraits> localToken;
        HANDLE hAdjust = hToken;
        if (!hAdjust) {
            if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &hAdjust)) {
                throw CPLXOpenProcessTokenException(TEXT("GetCurrentProcess()"), GetLastError(), PLX_SRC, PLX_LOG_NOW);
            }
            localToken.reset(hAdjust);
        }
        LUID luid = {};
        if (!LookupPrivilegeValueW(nullptr, szName.c_str(), &luid)) {
            throw CPLXLookupPrivilegeValueException(szName.isValid() ? szName.c_str() : nullptr, GetLastError(),
                                                    PLX_SRC, PLX_LOG_NOW);
        }
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Luid = luid;
        privileges.Privileges[0].Attributes = bEnable ? SE_PRIVILEGE_ENABLED : 0;
        // Only the call's result counts: a privilege the token lacks is left
        // to the operation that needs it.
        if (!AdjustTokenPrivileges(hAdjust, FALSE, &privileges, sizeof(privileges), nullptr, nullptr)) {
            throw CPLXAdjustTokenPrivilegesException(TEXT("hToken"), GetLastError(), PLX_SRC, PLX_LOG_NOW);
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}
