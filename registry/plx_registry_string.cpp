#include "plx_registry_string.h"

#include "plx_handlers.h"

CPLXRegistryString::CPLXRegistryString(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                                       REGSAM samDesired, bool bCreate, DWORD dwOptions)
    : CPLXRegistryValue(hRootKey, keyPath, valueName, samDesired, bCreate, dwOptions) {}

bool CPLXRegistryString::readRegistry() {
    try {
        CCloseOnExit closer(*this);
        if (!ensureOpen()) return false;
        // Zero-filled, one unit more than the platform may fill: text of the
        // full 520 bytes without a terminator still ends inside the buffer.
        CPLXBuffer<unsigned short> buffer(PLX_REG_STRING_MAX_BYTES / 2 + 1);
        DWORD cbData = PLX_REG_STRING_MAX_BYTES;
        LONG lResult = queryValue(reinterpret_cast<BYTE*>(buffer.getBuffer()), cbData, &m_dwType);
        if (lResult == ERROR_SUCCESS) {
            m_szRegStringCache = buffer;
            return true;
        }
        if (lResult == ERROR_FILE_NOT_FOUND && m_bCreate) return setValue(CPLXWCharString(), false);
        return false;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryString::writeString(DWORD dwType, LPCWSTR szClassName) {
    return setRegistryValue(dwType, reinterpret_cast<const BYTE*>(m_szRegStringCache.getBuffer()),
                            m_szRegStringCache.getNumElems() * 2, szClassName);
}

bool CPLXRegistryString::writeRegistry() {
    try {
        return writeString(REG_SZ, TEXT("CPLXRegistryValue"));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryString::getValue(CPLXWCharString& out, bool bUseCache) {
    try {
        if (!(bUseCache && m_bCacheValid) && !readRegistry()) return false;
        out = m_szRegStringCache;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryString::setValue(const CPLXWCharString& value, bool bCacheOnly) {
    try {
        m_szRegStringCache = value;
        return bCacheOnly || writeRegistry();
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryString::getAllValues(CPLXDblList<CPLXRegistryStringValue>& list) {
    try {
        return addValuesOfType(REG_SZ, list, [](const CPLXRegistryValent& valent) {
            return CPLXRegistryStringValue(valent.getName(), CPLXWCharString(valent.getData().toWideBuffer()));
        });
    }
    PLX_CATCH_RETURN(false)
}
