#include "plx_registry_dword.h"

#include <cstring>

#include "plx_handlers.h"

CPLXRegistryDword::CPLXRegistryDword(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                                     REGSAM samDesired, bool bCreate, DWORD dwOptions)
    : CPLXRegistryValue(hRootKey, keyPath, valueName, samDesired, bCreate, dwOptions), m_dwRegDwordCache(0) {}

CPLXRegistryDword::~CPLXRegistryDword() { m_dwRegDwordCache = 0; }

bool CPLXRegistryDword::readRegistry() {
    try {
        CCloseOnExit closer(*this);
        if (!ensureOpen()) return false;
        // Read beside the cache: a failed read (ERROR_MORE_DATA) leaves the
        // platform's output undefined, and shorter data is zero-extended.
        DWORD dwValue = 0;
        DWORD cbData = sizeof(dwValue);
        LONG lResult = queryValue(reinterpret_cast<BYTE*>(&dwValue), cbData);
        if (lResult == ERROR_SUCCESS) {
            m_dwRegDwordCache = dwValue;
            m_bCacheValid = true;
            return true;
        }
        if (lResult == ERROR_FILE_NOT_FOUND && m_bCreate) return setValue(0, false);
        return false;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryDword::writeRegistry() {
    try {
        return setRegistryValue(REG_DWORD, reinterpret_cast<const BYTE*>(&m_dwRegDwordCache), sizeof(m_dwRegDwordCache),
                                TEXT("CPLXRegistryDword"));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryDword::getValue(DWORD& out, bool bUseCache) {
    try {
        if (!(bUseCache && m_bCacheValid) && !readRegistry()) return false;
        out = m_dwRegDwordCache;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryDword::setValue(DWORD value, bool bCacheOnly) {
    try {
        m_dwRegDwordCache = value;
        return bCacheOnly || writeRegistry();
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryDword::getAllValues(CPLXDblList<CPLXRegistryDwordValue>& list) {
    try {
        list.removeAll();
        return addValuesOfType(REG_DWORD, list, [](const CPLXRegistryValent& valent) {
            DWORD dwValue = 0;
            const CPLXBuffer<unsigned char>& data = valent.getData();
            if (data.getNumElems() >= sizeof(dwValue)) std::memcpy(&dwValue, data.getBuffer(), sizeof(dwValue));
            return CPLXRegistryDwordValue(valent.getName(), dwValue);
        });
    }
    PLX_CATCH_RETURN(false)
}
