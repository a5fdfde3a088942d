#include "plx_windows_os_info.h"

#include "plx_environment_variable.h"
#include "plx_exceptions.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"
#include "plx_registry_dword.h"
#include "plx_system_library.h"

namespace {

typedef BOOL(WINAPI* PFNOSQUERY)(DWORD dwQuery);

const WORD SHELL_OS_QUERY_ORDINAL = 437;

}  // namespace

CPLXWindowsOSInfo::CPLXWindowsOSInfo()
    : m_bXPOrLater(false), m_bQuery37(false), m_bPreinstallation(false), m_dwServicePack(0), m_dVersion(0) {
    PLX_TRACE("CPLXWindowsOSInfo", "CPLXWindowsOSInfo");
    m_bPreinstallation = performPECheck();

    bool bAnswer = false;
    if (performOSQueryFunction(PLX_OS_QUERY_XP_OR_LATER, bAnswer)) {
        m_bXPOrLater = bAnswer;
        bAnswer = false;
        performOSQueryFunction(PLX_OS_QUERY_37, bAnswer);
        m_bQuery37 = bAnswer;
    }

    try {
        CPLXRegistryDword csdVersion(HKEY_LOCAL_MACHINE,
                                     CPLXWCharString(TEXT("SYSTEM\\CurrentControlSet\\Control\\Windows")),
                                     CPLXWCharString(TEXT("CSDVersion")), KEY_READ, false, 0);
        DWORD dwValue = 0;
        if (csdVersion.getValue(dwValue, false)) {
            m_dwServicePack = dwValue >> 8;
        }
    } catch (CPLXLogging& e) {
        // A missing service pack number is no failure of the constructor.
        plxReportCaught(e);
    } catch (...) {
        plxReportUnhandled(static_cast<DWORD>(errno), PLX_SRC);
    }

    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version))) {
        version = OSVERSIONINFOEXW();
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version))) {
            // Written at once; the Windows error code stays readable for the caller.
            throw CPLXWindowsOSInfoInitNeededException(PLX_SRC, PLX_LOG_NOW);
        }
    }
    m_dVersion = static_cast<double>(version.dwMajorVersion) + static_cast<double>(version.dwMinorVersion) / 10;
    plxTrace.done();
}

CPLXWindowsOSInfo::~CPLXWindowsOSInfo() {
    PLX_TRACE("CPLXWindowsOSInfo", "~CPLXWindowsOSInfo");
    plxTrace.done();
}

ULONG CPLXWindowsOSInfo::getPlatform() {
    PLX_TRACE("CPLXWindowsOSInfo", "getPlatform");
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_IA64:
    case PROCESSOR_ARCHITECTURE_AMD64:
    case PROCESSOR_ARCHITECTURE_IA32_ON_WIN64: plxTrace.success(true); return PLX_PLATFORM_64BIT;
    default: plxTrace.success(true); return PLX_PLATFORM_32BIT;
    }
}

bool CPLXWindowsOSInfo::isXP() {
    PLX_TRACE("CPLXWindowsOSInfo", "isXP");
    return plxTrace.logical(m_dVersion >= 5.1 && m_dVersion < 6.0);
}

bool CPLXWindowsOSInfo::isVista() {
    PLX_TRACE("CPLXWindowsOSInfo", "isVista");
    return plxTrace.logical(m_dVersion == 6.0);
}

bool CPLXWindowsOSInfo::isVersion61() {
    PLX_TRACE("CPLXWindowsOSInfo", "isVersion61");
    return plxTrace.logical(m_dVersion == 6.1);
}

bool CPLXWindowsOSInfo::performOSQueryFunction(DWORD dwQuery, bool& bAnswer) {
    PLX_TRACE("CPLXWindowsOSInfo", "performOSQueryFunction");
    try {
        // Loaded for the length of one query.
        CPLXSystemLibrary shlwapi(TEXT("shlwapi.dll"));
        if (!shlwapi.isLoaded()) {
            return plxTrace.success(false);
        }
        // The export's real type is known only by its ordinal.
        const PFNOSQUERY pQuery = shlwapi.getProc<PFNOSQUERY>(SHELL_OS_QUERY_ORDINAL);
        if (pQuery == nullptr) {
            return plxTrace.success(false);
        }
        bAnswer = pQuery(dwQuery) != FALSE;
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXWindowsOSInfo::performPECheck() {
    PLX_TRACE("CPLXWindowsOSInfo", "performPECheck");
    try {
        CPLXEnvironmentVariable drive(CPLXWCharString(TEXT("PLXDrive")));
        CPLXWCharString szValue;
        return plxTrace.logical(drive.getValue(szValue) && szValue.getLength() > 0);
    }
    PLX_CATCH_RETURN(plxTrace.logical(false))
}
