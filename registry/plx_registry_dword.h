// A REG_DWORD value with a cached number.
#ifndef PLX_REGISTRY_DWORD_H
#define PLX_REGISTRY_DWORD_H

#include "plx_registry_records.h"
#include "plx_registry_value.h"

class CPLXRegistryDword : public CPLXRegistryValue {
public:
    CPLXRegistryDword(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                      REGSAM samDesired, bool bCreate = false, DWORD dwOptions = 0);
    ~CPLXRegistryDword();

    bool readRegistry() override;
    bool writeRegistry() override;

    bool getValue(DWORD& out, bool bUseCache);
    bool setValue(DWORD value, bool bCacheOnly);
    // Empties the list, then adds every REG_DWORD value of the key.
    bool getAllValues(CPLXDblList<CPLXRegistryDwordValue>& list);

private:
    DWORD m_dwRegDwordCache;
};

#endif
