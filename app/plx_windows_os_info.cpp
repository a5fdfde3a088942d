#include "plx_windows_os_info.h"

#include "plx_environment_variable.h"
#include "plx_exceptions.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"
#include "plx_registry_dword.h"

namespace {

typedef BOOL(WINAPI* PFNOSQUERY)(DWORD dwQuery);

const WORD SHELL_OS_QUERY_ORDINAL = 437;

// A library loaded for the length of one query.
class CLoadedLibrary {
public:
    explicit CLoadedLibrary(HMODULE hModule) : m_hModule(hModule) {}
    ~CLoadedLibrary() {
        if (m_hModule != nullptr) {
            FreeLibrary(m_hModule);
        }
    }
    CLoadedLibrary(const CLoadedLibrary&) = delete;
    CLoadedLibrary& operator=(const CLoadedLibrary&) = delete;
    HMODULE get() const { return m_hModule; }

private:
    HMODULE m_hModule;
};

// shlwapi.dll from the system directory only: a DLL of that name beside the
// installer (a download folder) must never be loaded.  Systems whose loader
// lacks the search flags get the full system path instead.
HMODULE loadShlwapi() {
    HMODULE hModule = LoadLibraryExW(TEXT("shlwapi.dll"), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (hModule != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
        return hModule;
    }
    WCHAR szPath[MAX_PATH + 1] = {};
    const UINT uLength = GetSystemDirectoryW(szPath, MAX_PATH);
    const WCHAR szName[] = TEXT("\\shlwapi.dll");
    const UINT uNameLength = sizeof(szName) / sizeof(szName[0]) - 1;
    if (uLength == 0 || uLength + uNameLength > MAX_PATH) {
        return nullptr;
    }
    for (UINT i = 0; i <= uNameLength; ++i) {
        szPath[uLength + i] = szName[i];
    }
    return LoadLibraryW(szPath);
}

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
        CPLXRegistryDword csdVersion(HKEY_LOCAL_MACHINE, CPLXWCharString(TEXT("SYSTEM\\CurrentControlSet\\Control\\Windows")),
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
    case PROCESSOR_ARCHITECTURE_IA32_ON_WIN64:
        plxTrace.success(true);
        return PLX_PLATFORM_64BIT;
    default:
        plxTrace.success(true);
        return PLX_PLATFORM_32BIT;
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
        CLoadedLibrary shlwapi(loadShlwapi());
        if (shlwapi.get() == nullptr) {
            return plxTrace.success(false);
        }
        const FARPROC pProc =
            GetProcAddress(shlwapi.get(), reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(SHELL_OS_QUERY_ORDINAL)));
        if (pProc == nullptr) {
            return plxTrace.success(false);
        }
        // Through the generic function type: the export's real type is known only by its ordinal.
        const PFNOSQUERY pQuery = reinterpret_cast<PFNOSQUERY>(reinterpret_cast<void (*)(void)>(pProc));
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
