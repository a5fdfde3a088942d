#include "plx_registry_multi_string.h"

#include "plx_handlers.h"

CPLXRegistryMultiString::CPLXRegistryMultiString(HKEY hRootKey, const CPLXWCharString& keyPath,
                                                 const CPLXWCharString& valueName, REGSAM samDesired, bool bCreate,
                                                 DWORD dwOptions)
    : CPLXRegistryValue(hRootKey, keyPath, valueName, samDesired, bCreate, dwOptions) {}

bool CPLXRegistryMultiString::parseMultiSz(const CPLXBuffer<unsigned char>& data, CPLXDblList<CPLXWCharString>& list) {
    list.removeAll();
    if (data.getNumElems() == 0) return true;
    CPLXBuffer<unsigned short> units = data.toWideBuffer();
    const ULONG ulUnits = units.getNumElems();
    const unsigned short* pUnits = units.getBuffer();
    if (!pUnits) return false;
    ULONG ulStart = 0;
    LONG lTag = 0;
    for (ULONG i = 0; i < ulUnits; ++i) {
        if (pUnits[i] != 0) continue;
        // The piece ends at its own 0 unit, so it reads as a terminated text.
        CPLXWCharString piece(reinterpret_cast<const WCHAR*>(pUnits + ulStart));
        if (!list.add(piece, lTag++)) return false;
        if (i + 1 == ulUnits || pUnits[i + 1] == 0) break;
        ulStart = i + 1;
    }
    return true;
}

bool CPLXRegistryMultiString::buildMultiSz(CPLXDblList<CPLXWCharString>& list, CPLXBuffer<unsigned char>& data) {
    data.release();
    if (list.getCount() == 0) return true;
    CPLXBuffer<unsigned short> units;
    list.moveFirst();
    for (ULONG i = 0; i < list.getCount(); ++i, list.moveNext()) {
        const CPLXWCharString* pEntry = list.getCurrentPointer();
        // The entry's text up to its terminator, and the terminator.
        CPLXBuffer<unsigned short> entry(pEntry->getLength() + 1);
        for (ULONG c = 0; c < pEntry->getLength(); ++c) entry[c] = (*pEntry)[c];
        if (!units.append(entry)) return false;
    }
    CPLXBuffer<unsigned short> finalZero(1);
    if (!units.append(finalZero)) return false;
    data = units.toByteBuffer();
    return data.getNumElems() == units.getNumElems() * 2;
}

bool CPLXRegistryMultiString::readRegistry() {
    try {
        CCloseOnExit closer(*this);
        ULONG ulMaxData = 0;
        if (!getMaxValueDataLength(ulMaxData)) return false;
        if (!ensureOpen()) return false;
        CPLXBuffer<unsigned char> buffer(ulMaxData);
        DWORD cbData = ulMaxData;
        LONG lResult = queryValue(buffer.getBuffer(), cbData);
        if (lResult == ERROR_SUCCESS) {
            // Only the bytes the value holds are its data.
            if (cbData < buffer.getNumElems() && !buffer.resize(cbData)) return false;
            m_bCacheValid = parseMultiSz(buffer, m_lRegMultiStringCache);
            return true;
        }
        if (lResult == ERROR_FILE_NOT_FOUND && m_bCreate) {
            CPLXDblList<CPLXWCharString> empty;
            bool bResult = setValue(empty, false);
            m_bCacheValid = bResult;
            m_lRegMultiStringCache.removeAll();
            return bResult;
        }
        return false;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryMultiString::writeRegistry() {
    try {
        CCloseOnExit closer(*this);
        CPLXBuffer<unsigned char> data;
        if (!buildMultiSz(m_lRegMultiStringCache, data)) return false;
        return setRegistryValue(REG_MULTI_SZ, data.getBuffer(), data.getNumElems(), TEXT("CPLXRegistryMultiString"));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryMultiString::setValue(const CPLXDblList<CPLXWCharString>& value, bool bCacheOnly) {
    try {
        m_lRegMultiStringCache = value;
        return !bCacheOnly && writeRegistry();
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryMultiString::getCachedValue(CPLXDblList<CPLXWCharString>& list) {
    try {
        return m_bCacheValid && list.copyFrom(m_lRegMultiStringCache);
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryMultiString::getAllValues(CPLXDblList<CPLXRegistryMultiStringValue>& list) {
    try {
        list.removeAll();
        return addValuesOfType(REG_MULTI_SZ, list, [](const CPLXRegistryValent& valent) {
            CPLXDblList<CPLXWCharString> values;
            parseMultiSz(valent.getData(), values);
            return CPLXRegistryMultiStringValue(valent.getName(), values);
        });
    }
    PLX_CATCH_RETURN(false)
}
