// A REG_SZ value with a cached string.  Reads take at most 520 bytes (259
// characters and the terminator) and, unlike the other classes, leave the
// cache-valid flag as it was.
#ifndef PLX_REGISTRY_STRING_H
#define PLX_REGISTRY_STRING_H

#include "plx_registry_records.h"
#include "plx_registry_value.h"

// Bytes a string read takes at most.
#define PLX_REG_STRING_MAX_BYTES 520

class CPLXRegistryString : public CPLXRegistryValue {
public:
    CPLXRegistryString(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                       REGSAM samDesired, bool bCreate = false, DWORD dwOptions = 0);

    bool readRegistry() override;
    bool writeRegistry() override;

    // The cache when bUseCache and it is valid, otherwise a fresh read.
    bool getValue(CPLXWCharString& out, bool bUseCache);
    // Sets the cache; unless bCacheOnly, writes it.
    bool setValue(const CPLXWCharString& value, bool bCacheOnly);
    // Appends (without emptying the list first) every REG_SZ value of the key.
    bool getAllValues(CPLXDblList<CPLXRegistryStringValue>& list);
    // The type the value had when it was last read (any type is read as
    // text); REG_NONE before a read succeeded.
    DWORD getType() const { return m_dwType; }

protected:
    // Writes the cache as dwType, reporting a failure with szClassName.
    bool writeString(DWORD dwType, LPCWSTR szClassName);

    CPLXWCharString m_szRegStringCache;
    DWORD m_dwType = REG_NONE;
};

#endif
