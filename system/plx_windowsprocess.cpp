#include "plx_windowsprocess.h"

#include "plx_handlers.h"
#include "plx_method_trace.h"

namespace {

// The process token that setPrivilege opened itself; closed on every path.
class CLocalToken {
public:
    CLocalToken() : m_hToken(nullptr) {}
    ~CLocalToken() {
        if (m_hToken && !CloseHandle(m_hToken)) {
            CCloseHandleWarning(TEXT("hLocalToken"), GetLastError(), PLX_SRC, PLX_LOG_NOW);
        }
    }
    CLocalToken(const CLocalToken&) = delete;
    CLocalToken& operator=(const CLocalToken&) = delete;

    HANDLE* out() { return &m_hToken; }
    HANDLE get() const { return m_hToken; }

private:
    HANDLE m_hToken;
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
        CLocalToken localToken;
        HANDLE hAdjust = hToken;
        if (!hAdjust) {
            if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, localToken.out())) {
                *localToken.out() = nullptr;
                throw CPLXOpenProcessTokenException(TEXT("GetCurrentProcess()"), GetLastError(), PLX_SRC,
                                                    PLX_LOG_NOW);
            }
            hAdjust = localToken.get();
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
