// A REG_BINARY value with a cached byte block.
#ifndef PLX_REGISTRY_BINARY_H
#define PLX_REGISTRY_BINARY_H

#include "plx_registry_records.h"
#include "plx_registry_value.h"

class CPLXRegistryBinary : public CPLXRegistryValue {
public:
    // Throws CPLXBufferInitException when the empty cache cannot be set up.
    CPLXRegistryBinary(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                       REGSAM samDesired, bool bCreate = false, DWORD dwOptions = 0);

    bool readRegistry() override;
    bool writeRegistry() override;

    bool setValue(const CPLXBuffer<unsigned char>& value, bool bCacheOnly);
    // Empties the list, then adds every REG_BINARY value of the key.
    bool getAllValues(CPLXDblList<CPLXRegistryBinaryValue>& list);
    // A copy of the cached bytes; true when the cache is valid.
    bool getCachedValue(CPLXBuffer<unsigned char>& out) const;

private:
    CPLXBuffer<unsigned char> m_regBinaryCache;
};

#endif
