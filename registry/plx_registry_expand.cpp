#include "plx_registry_expand.h"

#include "plx_handlers.h"

CPLXRegistryStringExpand::CPLXRegistryStringExpand(HKEY hRootKey, const CPLXWCharString& keyPath,
                                                   const CPLXWCharString& valueName, REGSAM samDesired, bool bCreate,
                                                   DWORD dwOptions)
    : CPLXRegistryString(hRootKey, keyPath, valueName, samDesired, bCreate, dwOptions) {}

bool CPLXRegistryStringExpand::writeRegistry() {
    try {
        CCloseOnExit closer(*this);
        ULONG ulPercents = m_szRegStringCache.countOccurrences(CPLXWCharString(TEXT("%")));
        if (ulPercents == 0 || ulPercents % 2 != 0) {
            throw CPLXBadArgException(TEXT("m_szRegStringCache"),
                                      TEXT("value doesn't represent an expandable value which is required"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        return writeString(REG_EXPAND_SZ, TEXT("CPLXRegistryStringExpand"));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryStringExpand::getValue(CPLXWCharString& out, bool bUseCache, bool bExpand) {
    try {
        CPLXWCharString text;
        if (!CPLXRegistryString::getValue(text, bUseCache)) return false;
        if (!bExpand) {
            out = text;
            return true;
        }
        return expand(text, out);
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryStringExpand::expand(const CPLXWCharString& text, CPLXWCharString& out) {
    DWORD dwNeeded = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (dwNeeded == 0) return false;
    CPLXBuffer<unsigned short> expanded(dwNeeded + 1);
    if (ExpandEnvironmentStringsW(text.c_str(), reinterpret_cast<LPWSTR>(expanded.getBuffer()), dwNeeded) != dwNeeded) {
        return false;
    }
    out = expanded;
    return true;
}

bool CPLXRegistryStringExpand::getAllValues(CPLXDblList<CPLXRegistryStringValue>& list, bool bExpand) {
    try {
        list.removeAll();
        return addValuesOfType(REG_EXPAND_SZ, list, [this, bExpand](const CPLXRegistryValent& valent) {
            CPLXWCharString text(valent.getData().toWideBuffer());
            if (bExpand) {
                // Read again in this key's registry view, so that the value
                // expanded is the one listed.
                CPLXRegistryStringExpand value(m_hRootKey, m_szKeyPath, valent.getName(),
                                               KEY_READ | (m_samDesired & KEY_WOW64_RES), false, 0);
                CPLXWCharString expanded;
                if (value.getValue(expanded, false, true)) text = expanded;
            }
            return CPLXRegistryStringValue(valent.getName(), text);
        });
    }
    PLX_CATCH_RETURN(false)
}
