#include "plx_logging_config.h"

#include "plx_error_state_guard.h"
#include "plx_scoped_handle.h"
#include "plx_wchar_string.h"

LONG g_dynamicLoggingState = 0;
DWORD g_maxLogFileNum = 1;
DWORD g_maxLogFileSize = 10240;

namespace {

// The decimal number that starts at szText[ulFrom] of a named value's text,
// 0 when none does.
LONG numberAt(const WCHAR (&szText)[MAX_PATH], ULONG ulFrom) {
    LONG lValue = 0;
    plxDecimalToLong(szText + ulFrom, static_cast<ULONG>(sizeof szText / sizeof szText[0]) - ulFrom, lValue);
    return lValue;
}

const DWORD NAMED_VALUE_BYTES = MAX_PATH;
const DWORD OBJECT_LIST_BYTES = 1024;

}  // namespace

bool CPLXLoggingConfig::readLogValue(LPCWSTR szValueName, void* pBuffer, DWORD ulByteSize) const {
    if (szValueName == nullptr || pBuffer == nullptr) {
        return false;
    }
    try {
        HKEY hKey = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PLX_LOGS_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
            return false;
        }
        const CPLXScopedRegKey key(hKey);
        DWORD ulSize = ulByteSize;
        // Any failure counts as absent: after access denied or data longer
        // than the buffer its content is not defined.
        return RegQueryValueExW(key.get(), szValueName, nullptr, nullptr, static_cast<LPBYTE>(pBuffer), &ulSize) ==
               ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

bool CPLXLoggingConfig::isLoggingEnabled() const {
    DWORD ulValue = 0;
    return readLogValue(TEXT("Logging"), &ulValue, sizeof(ulValue)) && ulValue != 0;
}

USHORT CPLXLoggingConfig::getLogDetail() const {
    DWORD ulValue = 0;
    if (!readLogValue(TEXT("LogDetail"), &ulValue, sizeof(ulValue))) {
        return PLX_DEFAULT_LOG_DETAIL;
    }
    return static_cast<USHORT>(ulValue & 0xFFFF);
}

bool CPLXLoggingConfig::readNamedValue(LPCWSTR szName, WCHAR (&szText)[MAX_PATH]) const {
    for (WCHAR& ch : szText) {
        ch = 0;
    }
    if (szName == nullptr) {
        return false;
    }
    return readLogValue(szName, szText, NAMED_VALUE_BYTES);
}

bool CPLXLoggingConfig::hasNamedSettings(LPCWSTR szName) const {
    WCHAR szText[MAX_PATH];
    return readNamedValue(szName, szText);
}

USHORT CPLXLoggingConfig::getNamedOutputs(LPCWSTR szName) const {
    WCHAR szText[MAX_PATH];
    if (!readNamedValue(szName, szText)) {
        return 0;
    }
    // The conversion stops at the first ',' by itself.
    return static_cast<USHORT>(numberAt(szText, 0) & 0xFFFF);
}

USHORT CPLXLoggingConfig::getNamedDetail(LPCWSTR szName) const {
    WCHAR szText[MAX_PATH];
    if (!readNamedValue(szName, szText)) {
        return 0;
    }
    for (int i = 0; i < MAX_PATH && szText[i] != 0; ++i) {
        if (szText[i] == ',') {
            return static_cast<USHORT>(numberAt(szText, static_cast<ULONG>(i + 1)) & 0xFFFF);
        }
    }
    // Without a comma there is no second field.
    return 0;
}

bool CPLXLoggingConfig::getOutputTarget(USHORT usOutput, void* pBuffer, DWORD ulByteSize) const {
    if (pBuffer == nullptr || ulByteSize == 0) {
        return false;
    }
    LPCWSTR szValueName = nullptr;
    switch (usOutput) {
    case 0x01: szValueName = TEXT("TextOutput"); break;
    case 0x02: szValueName = TEXT("XMLOutput"); break;
    case 0x04: szValueName = TEXT("ServerOutput"); break;
    case 0x08: szValueName = TEXT("HTMLOutput"); break;
    case 0x10: return true;  // an output without a target
    case 0x20: szValueName = TEXT("UnknownOutput"); break;
    default: return false;
    }
    return readLogValue(szValueName, pBuffer, ulByteSize);
}

bool CPLXLoggingConfig::findInObjectList(LPCWSTR szList, LPCWSTR szClassName, bool& bFound) const {
    bFound = false;
    WCHAR szText[OBJECT_LIST_BYTES];  // twice the bytes read: always terminated
    for (WCHAR& ch : szText) {
        ch = 0;
    }
    if (!readLogValue(szList, szText, OBJECT_LIST_BYTES)) {
        return false;
    }
    if (szClassName == nullptr || szClassName[0] == 0) {
        return true;
    }
    // A case-sensitive substring match; separators play no part.
    for (const WCHAR* pStart = szText; *pStart != 0; ++pStart) {
        const WCHAR* pList = pStart;
        const WCHAR* pName = szClassName;
        while (*pName != 0 && *pList == *pName) {
            ++pList;
            ++pName;
        }
        if (*pName == 0) {
            bFound = true;
            break;
        }
    }
    return true;
}

bool CPLXLoggingConfig::findInAllowObjects(LPCWSTR szClassName, bool& bFound) const {
    return findInObjectList(TEXT("AllowObjects"), szClassName, bFound);
}

bool CPLXLoggingConfig::findInExcludeObjects(LPCWSTR szClassName, bool& bFound) const {
    return findInObjectList(TEXT("ExcludeObjects"), szClassName, bFound);
}

bool plxReadProcessLogSettingsOnce() {
    if (g_dynamicLoggingState != 0) {
        return g_dynamicLoggingState == 1;
    }
    CPLXErrorStateGuard keepErrors;
    try {
        readProcessLogSettings();
    } catch (...) {
    }
    if (g_dynamicLoggingState == 0) {
        g_dynamicLoggingState = 2;
    }
    return g_dynamicLoggingState == 1;
}
