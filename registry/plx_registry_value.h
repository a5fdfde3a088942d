// A typed registry value: a key plus a value name and a cached copy of the
// value's data.  readRegistry fills the cache, writeRegistry stores it; both
// leave the key closed.  A missing value is not an error and is not
// reported; a failed read is not reported; a failed write is.
#ifndef PLX_REGISTRY_VALUE_H
#define PLX_REGISTRY_VALUE_H

#include "plx_registry_key.h"

class CPLXRegistryValue : public CPLXRegistryKey {
public:
    // The key arguments as CPLXRegistryKey takes them, plus the value name.  A
    // name that cannot be copied is reported and leaves the name invalid.
    CPLXRegistryValue(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                      REGSAM samDesired, bool bCreate = false, DWORD dwOptions = 0);

    virtual bool readRegistry() = 0;
    virtual bool writeRegistry() = 0;

    const CPLXWCharString& getValueName() const { return m_szValueName; }
    bool isCacheValid() const { return m_bCacheValid; }

protected:
    // RegQueryValueExW of this value into pData (cbData in/out) and, when
    // pType is given, its type; the key must be open.  A null pData is never
    // passed to the platform.
    LONG queryValue(BYTE* pData, DWORD& cbData, DWORD* pType = nullptr);
    // Opens the key if needed, writes the value, marks the cache valid and
    // closes the key.  A failure is reported with szClassName.
    bool setRegistryValue(DWORD dwType, const BYTE* pData, DWORD cbData, LPCWSTR szClassName);
    // Appends, tagged 0, 1, ..., makeRecord(valent) for every value of the key
    // of type dwType.  False when the key's values cannot be queried.
    template <class TList, class TMakeRecord>
    bool addValuesOfType(DWORD dwType, TList& list, TMakeRecord makeRecord) {
        CPLXDblList<CPLXRegistryValent> valents;
        if (!queryMultipleValues(valents)) return false;
        LONG lTag = 0;
        valents.moveFirst();
        for (ULONG i = 0; i < valents.getCount(); ++i, valents.moveNext()) {
            const CPLXRegistryValent* pValent = valents.getCurrentPointer();
            if (pValent->getType() != dwType) continue;
            list.add(makeRecord(*pValent), lTag++);
        }
        return true;
    }

    CPLXWCharString m_szValueName;
    bool m_bCacheValid;
};

#endif
