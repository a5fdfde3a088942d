#include "plx_registry_value.h"

#include "plx_handlers.h"

CPLXRegistryValue::CPLXRegistryValue(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                                     REGSAM samDesired, bool bCreate, DWORD dwOptions)
    : CPLXRegistryKey(hRootKey, keyPath, samDesired, bCreate, dwOptions), m_bCacheValid(false) {
    try {
        m_szValueName = valueName;
    } catch (CPLXLogging& e) {
        plxReportCaught(e);
    }
    PLX_CATCH_ALL_SWALLOW
}

LONG CPLXRegistryValue::queryValue(BYTE* pData, DWORD& cbData, DWORD* pType) {
    // Without a buffer the platform would answer success with only the size;
    // a one-byte stand-in keeps "no room" an ERROR_MORE_DATA.
    BYTE bNoRoom = 0;
    if (!pData) {
        pData = &bNoRoom;
        cbData = 0;
    }
    return RegQueryValueExW(m_hKey, m_szValueName.c_str(), nullptr, pType, pData, &cbData);
}

bool CPLXRegistryValue::setRegistryValue(DWORD dwType, const BYTE* pData, DWORD cbData, LPCWSTR szClassName) {
    CCloseOnExit closer(*this);
    if (!ensureOpen()) return false;
    static const BYTE bNoData = 0;
    LONG lResult = RegSetValueExW(m_hKey, m_szValueName.c_str(), 0, dwType, pData ? pData : &bNoData, cbData);
    if (lResult != ERROR_SUCCESS) {
        throw CPLXRegValueSetException(reportPath(), m_szValueName.isValid() ? m_szValueName.c_str() : nullptr,
                                       static_cast<ULONG>(lResult), szClassName, TEXT("writeRegistry"), PLX_SRC,
                                       PLX_LOG_NOW);
    }
    m_bCacheValid = true;
    return true;
}
