#include "plx_registry_binary.h"

#include "plx_handlers.h"

CPLXRegistryBinary::CPLXRegistryBinary(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                                       REGSAM samDesired, bool bCreate, DWORD dwOptions)
    : CPLXRegistryValue(hRootKey, keyPath, valueName, samDesired, bCreate, dwOptions) {}

bool CPLXRegistryBinary::readRegistry() {
    try {
        CCloseOnExit closer(*this);
        if (!ensureOpen()) return false;
        DWORD cbSize = 0;
        if (RegQueryValueExW(m_hKey, m_szValueName.c_str(), nullptr, nullptr, nullptr, &cbSize) != ERROR_SUCCESS) {
            cbSize = 0;
        }
        CPLXBuffer<unsigned char> buffer(cbSize);
        DWORD cbData = cbSize;
        LONG lResult = queryValue(buffer.getBuffer(), cbData);
        if (lResult == ERROR_SUCCESS) {
            // The value may have shrunk between the two calls.
            if (cbData < buffer.getNumElems() && !buffer.resize(cbData)) return false;
            m_regBinaryCache = buffer;
            m_bCacheValid = true;
            return true;
        }
        if (lResult == ERROR_FILE_NOT_FOUND && m_bCreate) return setValue(CPLXBuffer<unsigned char>(), false);
        return false;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryBinary::writeRegistry() {
    try {
        return setRegistryValue(REG_BINARY, m_regBinaryCache.getBuffer(), m_regBinaryCache.getNumElems(),
                                TEXT("CPLXRegistryBinary"));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryBinary::setValue(const CPLXBuffer<unsigned char>& value, bool bCacheOnly) {
    try {
        m_regBinaryCache = value;
        return bCacheOnly || writeRegistry();
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryBinary::getCachedValue(CPLXBuffer<unsigned char>& out) const {
    try {
        if (!m_bCacheValid) return false;
        out = m_regBinaryCache;
        return out.getNumElems() == m_regBinaryCache.getNumElems();
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryBinary::getAllValues(CPLXDblList<CPLXRegistryBinaryValue>& list) {
    try {
        list.removeAll();
        return addValuesOfType(REG_BINARY, list, [](const CPLXRegistryValent& valent) {
            return CPLXRegistryBinaryValue(valent.getName(), valent.getData());
        });
    }
    PLX_CATCH_RETURN(false)
}
