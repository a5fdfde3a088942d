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
    // Text with its "%NAME%" references expanded from the environment; false
    // (out unchanged) when the expansion fails.
    static bool expand(const CPLXWCharString& text, CPLXWCharString& out);
    // Empties the list, then adds every REG_EXPAND_SZ value, expanded when bExpand.
    bool getAllValues(CPLXDblList<CPLXRegistryStringValue>& list, bool bExpand);
};

#endif
