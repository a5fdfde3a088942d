#include "plx_policy_string_setting.h"

#include "plx_registry_expand.h"
#include "plx_registry_string.h"

CPLXPolicyStringSetting::CPLXPolicyStringSetting() : m_bExpand(false) {
    PLX_TRACE("CPLXPolicyStringSetting", "CPLXPolicyStringSetting");
    m_ulType = PLX_POLICY_TYPE_STRING;
    plxTrace.done();
}

CPLXPolicyStringSetting::CPLXPolicyStringSetting(const CPLXWCharString& szVendorName,
                                                 const CPLXWCharString& szProductName, ULONG ulID, ULONG ulSource,
                                                 const CPLXWCharString& szVersion, const CPLXWCharString& szValueName,
                                                 const CPLXWCharString& szSubKey, const CPLXWCharString& szDefault,
                                                 bool bExpand, bool bMirror32)
    : CPLXPolicySetting<CPLXWCharString>(szVendorName, szProductName, ulID, ulSource, PLX_POLICY_TYPE_STRING, szVersion,
                                         szValueName, szSubKey, szDefault, bMirror32),
      m_bExpand(bExpand) {
    PLX_TRACE("CPLXPolicyStringSetting", "CPLXPolicyStringSetting");
    plxTrace.done();
}

bool CPLXPolicyStringSetting::getPolicy(PolicyLocation location, CPLXWCharString& out, bool bUseCache,
                                        const CPLXWCharString& szSubstitution) {
    PLX_TRACE("CPLXPolicyStringSetting", "getPolicy");
    try {
        return plxTrace.success(fetchValue(out, bUseCache, [&](CPLXWCharString& szValue) {
            const HKEY hRoot = plxPolicyRootKey(location);
            const CPLXWCharString szPath = getValueLocation(location, szSubstitution);
            if (m_bExpand) {
                CPLXRegistryStringExpand regValue(hRoot, szPath, m_szValueName, PLX_POLICY_READ_ACCESS, false, 0);
                return regValue.getValue(szValue, false, true);
            }
            CPLXRegistryString regValue(hRoot, szPath, m_szValueName, PLX_POLICY_READ_ACCESS, false, 0);
            return regValue.getValue(szValue, false);
        }));
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}

bool CPLXPolicyStringSetting::setPolicy(PolicyLocation location, const CPLXWCharString& value, bool bCreate,
                                        const CPLXWCharString& szSubstitution, bool bVolatile) {
    PLX_TRACE("CPLXPolicyStringSetting", "setPolicy");
    try {
        if (!checkRegistrySource()) {
            return plxTrace.success(false);
        }
        const HKEY hRoot = plxPolicyRootKey(location);
        const CPLXWCharString szPath = getValueLocation(location, szSubstitution);
        const DWORD dwOptions = bVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
        if (m_bExpand) {
            // An expandable string is not mirrored.
            CPLXRegistryStringExpand regValue(hRoot, szPath, m_szValueName, PLX_POLICY_WRITE_ACCESS, bCreate,
                                              dwOptions);
            return plxTrace.success(storeValue(regValue, value, false));
        }
        CPLXRegistryString regValue(hRoot, szPath, m_szValueName, PLX_POLICY_WRITE_ACCESS, bCreate, dwOptions);
        return plxTrace.success(storeValue(regValue, value, m_bMirror32));
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}
