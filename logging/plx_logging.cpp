#include "plx_logging.h"

#include "plx_error_state_guard.h"

#include <new>

namespace {

bool isEmpty(LPCWSTR szText) { return szText == nullptr || szText[0] == 0; }

}  // namespace

LPCWSTR plxLevelName(ULONG ulLevel) {
    switch (ulLevel) {
    case PLX_LEVEL_CRITICAL: return TEXT("CRITICAL");
    case PLX_LEVEL_EXCEPTION_BAD: return TEXT("EXCEPTION_BAD");
    case PLX_LEVEL_EXCEPTION_OK: return TEXT("EXCEPTION_OK");
    case PLX_LEVEL_ERROR: return TEXT("ERROR");
    case PLX_LEVEL_WARNING: return TEXT("WARNING");
    case PLX_LEVEL_DEBUG: return TEXT("DEBUG");
    case PLX_LEVEL_INFORMATION: return TEXT("INFORMATION");
    case PLX_LEVEL_NOTIFICATION: return TEXT("NOTIFICATION");
    case PLX_LEVEL_ENTRY: return TEXT("ENTRY");
    case PLX_LEVEL_EXIT: return TEXT("EXIT");
    case PLX_LEVEL_SUCCESS: return TEXT("SUCCESS");
    case PLX_LEVEL_FAILURE: return TEXT("FAILURE");
    default: return TEXT("UNSPECIFIED");
    }
}

bool plxExecutableName(LPWSTR szName, DWORD cchName, DWORD cchFirstTry) {
    DWORD cchPath = cchFirstTry > 0 ? cchFirstTry : MAX_PATH;
    for (;;) {
        LPWSTR szPath = new (std::nothrow) WCHAR[cchPath];
        if (szPath == nullptr) {
            return false;
        }
        DWORD cchCopied = GetModuleFileNameW(nullptr, szPath, cchPath);
        bool bComplete = cchCopied > 0 && cchCopied < cchPath;
        bool bResult = bComplete && plxAppNameFromPath(szPath, szName, cchName);
        delete[] szPath;
        if (bComplete || cchCopied == 0 || cchPath >= 0x10000) {
            return bResult;
        }
        cchPath *= 2;  // cut off: try again with more room
    }
}

bool plxAppNameFromPath(LPCWSTR szPath, LPWSTR szName, DWORD cchName) {
    if (szPath == nullptr || szName == nullptr || cchName == 0) {
        return false;
    }
    // The file name starts after the last separator; only a dot inside it
    // starts the extension, so dots in directory names do not matter.
    const WCHAR* pFile = szPath;
    for (const WCHAR* p = szPath; *p != 0; ++p) {
        if (*p == '\\' || *p == '/') {
            pFile = p + 1;
        }
    }
    const WCHAR* pEnd = nullptr;
    const WCHAR* p = pFile;
    for (; *p != 0; ++p) {
        if (*p == '.') {
            pEnd = p;
        }
    }
    if (pEnd == nullptr || pEnd == pFile) {
        pEnd = p;  // no extension (or a name that is all extension): the whole name
    }
    DWORD cchLength = static_cast<DWORD>(pEnd - pFile);
    if (cchLength == 0 || cchLength >= cchName) {
        return false;
    }
    for (DWORD i = 0; i < cchLength; ++i) {
        szName[i] = pFile[i];
    }
    szName[cchLength] = 0;
    return true;
}

// ---------------------------------------------------------------- CPLXLogging

CPLXLogging::CPLXLogging(USHORT usOutputs, bool bLogOnDestroy)
    : m_bLogOnDestroy(bLogOnDestroy), m_usOutputs(usOutputs), m_usDetail(0), m_bLogged(false) {}

CPLXLogging::~CPLXLogging() = default;

bool CPLXLogging::passesLevelFilter(CPLXLogRecord& record) {
    m_usDetail = 0;
    if (!m_config.isLoggingEnabled()) {
        return false;
    }
    bool bHasAppName = !isEmpty(record.m_szAppName);
    if (!bHasAppName) {
        WCHAR szName[MAX_PATH];
        if (!plxExecutableName(szName, MAX_PATH) || !record.setAppName(szName)) {
            return false;
        }
    }
    // Entries created with an application name that has settings of its own
    // take those settings, whatever their level.
    if (bHasAppName && m_config.hasNamedSettings(record.m_szAppName)) {
        m_usDetail = m_config.getNamedDetail(record.m_szAppName);
        m_usOutputs = m_config.getNamedOutputs(record.m_szAppName);
        return true;
    }
    USHORT usDetail = m_config.getLogDetail();
    m_usDetail = usDetail;
    ULONG ulLevel = record.m_ulLevel;
    if ((ulLevel & usDetail) != ulLevel) {
        return false;
    }
    if (ulLevel != PLX_LEVEL_EXIT) {
        return true;
    }
    ULONG ulKind = record.m_ulResultKind;
    if (ulKind == rkErrorCode && (usDetail & PLX_DETAIL_EXIT_ERRORCODE) != 0) {
        return record.m_ulCode != 0;
    }
    if ((ulKind == rkSuccess && (usDetail & PLX_DETAIL_EXIT_SUCCESS) != 0) ||
        (ulKind == rkLogical && (usDetail & PLX_DETAIL_EXIT_LOGICAL) != 0)) {
        return (record.m_ulCode & 0xFF) == 0;
    }
    return (usDetail & PLX_DETAIL_EXIT_MODIFIERS) == 0;
}

// ---------------------------------------------------------------- CPLXDetailedLog

CPLXDetailedLog::CPLXDetailedLog(ULONG ulLevel, LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind,
                                 LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine,
                                 bool bLogNow, bool bLogOnDestroy, USHORT usOutputs, LPCWSTR szAppName,
                                 LPCWSTR szLogFile)
    : CPLXLogging(usOutputs, bLogOnDestroy), m_record(ulLevel, szMessage, ulCode, ulResultKind, szAppName, szLogFile) {
    completeRecord(szClassName, szMethodName, szSourceFile, ulLine, bLogNow);
}

CPLXDetailedLog::CPLXDetailedLog(USHORT usOutputs, bool bLogOnDestroy) : CPLXLogging(usOutputs, bLogOnDestroy) {}

void CPLXDetailedLog::fillRecord(ULONG ulLevel, LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind,
                                 LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine,
                                 bool bLogNow) {
    m_record.m_ulLevel = ulLevel;
    m_record.setMessage(szMessage);
    m_record.m_ulCode = ulCode;
    m_record.m_ulResultKind = ulResultKind;
    completeRecord(szClassName, szMethodName, szSourceFile, ulLine, bLogNow);
}

void CPLXDetailedLog::completeRecord(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine,
                                     bool bLogNow) {
    m_record.setClassName(szClassName);
    m_record.setMethodName(szMethodName);
    m_record.setSourceFile(szSourceFile);
    m_record.m_ulLine = ulLine;
    if (bLogNow) {
        write();
    }
}

CPLXDetailedLog::~CPLXDetailedLog() {
    if (m_bLogOnDestroy) {
        write();
    }
}

bool CPLXDetailedLog::logNow() { return write(); }

bool CPLXDetailedLog::passesFilter(CPLXLogRecord& record) {
    if (!passesLevelFilter(record)) {
        return false;
    }
    if (isEmpty(record.m_szClassName)) {
        return true;
    }
    bool bFound = false;
    if (m_config.findInAllowObjects(record.m_szClassName, bFound)) {
        return bFound;
    }
    if (m_config.findInExcludeObjects(record.m_szClassName, bFound)) {
        return !bFound;
    }
    return true;
}

bool CPLXDetailedLog::write() {
    CPLXErrorStateGuard keepErrors;
    try {
        if (passesFilter(m_record) && m_outputs.dispatchFull(m_usOutputs, m_record)) {
            m_bLogged = true;
            return true;
        }
    } catch (...) {
    }
    return false;
}

// ---------------------------------------------------------------- CPLXSimpleLog

CPLXSimpleLog::CPLXSimpleLog(ULONG ulLevel, LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, bool bLogNow,
                             bool bLogOnDestroy, USHORT usOutputs, LPCWSTR szAppName, LPCWSTR szLogFile)
    : CPLXLogging(usOutputs, bLogOnDestroy), m_record(ulLevel, szMessage, ulCode, ulResultKind, szAppName, szLogFile) {
    if (bLogNow) {
        write();
    }
}

CPLXSimpleLog::CPLXSimpleLog(USHORT usOutputs, bool bLogOnDestroy) : CPLXLogging(usOutputs, bLogOnDestroy) {}

CPLXSimpleLog::~CPLXSimpleLog() {
    if (m_bLogOnDestroy) {
        write();
    }
}

bool CPLXSimpleLog::logNow() { return write(); }

bool CPLXSimpleLog::write() {
    CPLXErrorStateGuard keepErrors;
    try {
        if (passesLevelFilter(m_record) && m_outputs.dispatchShort(m_usOutputs, m_record)) {
            m_bLogged = true;
            return true;
        }
    } catch (...) {
    }
    return false;
}
