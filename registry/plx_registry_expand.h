// A REG_EXPAND_SZ value: a string whose "%NAME%" references are expanded
// from the environment on request.  Only text with a positive, even number
// of "%" is written.
#ifndef PLX_REGISTRY_EXPAND_H
#define PLX_REGISTRY_EXPAND_H

#include "plx_registry_string.h"

class CPLXRegistryStringExpand : public CPLXRegistryString {
public:
    CPLXRegistryStringExpand(HKEY hRootKey, const CPLXWCharString& keyPath, const CPLXWCharString& valueName,
                             REGSAM samDesired, bool bCreate = false, DWORD dwOptions = 0);

    bool writeRegistry() override;

    using CPLXRegistryString::getValue;
    // The stored text, expanded with ExpandEnvironmentStringsW when bExpand.
    bool getValue(CPLXWCharString& out, bool bUseCache, bool bExpand);
    // Empties the list, then adds every REG_EXPAND_SZ value, expanded when bExpand.
    bool getAllValues(CPLXDblList<CPLXRegistryStringValue>& list, bool bExpand);
};

#endif
