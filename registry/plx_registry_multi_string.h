// A REG_MULTI_SZ value with a cached list of strings.
#ifndef PLX_REGISTRY_MULTI_STRING_H
#define PLX_REGISTRY_MULTI_STRING_H

#include "plx_registry_records.h"
#include "plx_registry_value.h"

class CPLXRegistryMultiString : public CPLXRegistryValue {
public:
    CPLXRegistryMultiString(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                            REGSAM samDesired, bool bCreate = false, DWORD dwOptions = 0);

    bool readRegistry() override;
    bool writeRegistry() override;

    // Sets the cache; with bCacheOnly nothing is written and the answer is false.
    bool setValue(const CPLXDblList<CPLXWCharString>& value, bool bCacheOnly);
    // Empties the list, then adds every REG_MULTI_SZ value of the key.
    bool getAllValues(CPLXDblList<CPLXRegistryMultiStringValue>& list);
    // A copy of the cached list; true when the cache is valid and was copied.
    bool getCachedValue(CPLXDblList<CPLXWCharString>& list);

    // REG_MULTI_SZ data into a list (tags 0, 1, 2, ...): each 0 unit ends a
    // piece; the pieces stop at the last unit or at two 0 units in a row;
    // units after the last 0 unit are never taken.  An odd last byte is a
    // unit with a zero high byte.
    static bool parseMultiSz(const CPLXBuffer<unsigned char>& data, CPLXDblList<CPLXWCharString>& list);
    // The reverse: every entry with its terminator, then one 0 unit; an empty
    // list gives no bytes.
    static bool buildMultiSz(CPLXDblList<CPLXWCharString>& list, CPLXBuffer<unsigned char>& data);

private:
    CPLXDblList<CPLXWCharString> m_lRegMultiStringCache;
};

#endif
