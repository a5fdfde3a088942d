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
                                                 const CPLXWCharString& szVersion,
                                                 const CPLXWCharString& szValueName, const CPLXWCharString& szSubKey,
                                                 const CPLXWCharString& szDefault, bool bExpand, bool bMirror32)
    : CPLXPolicySetting<CPLXWCharString>(szVendorName, szProductName, ulID, ulSource, PLX_POLICY_TYPE_STRING,
                                         szVersion, szValueName, szSubKey, szDefault, bMirror32),
      m_bExpand(bExpand) {
    PLX_TRACE("CPLXPolicyStringSetting", "CPLXPolicyStringSetting");
    plxTrace.done();
}

bool CPLXPolicyStringSetting::getPolicy(PolicyLocation location, CPLXWCharString& out, bool bUseCache,
                                        const CPLXWCharString& szSubstitution) {
    PLX_TRACE("CPLXPolicyStringSetting", "getPolicy");
    try {
        if (bUseCache && m_bCached) {
            out = m_tCachedValue;
            return plxTrace.success(true);
        }
        if (m_ulSource != PLX_POLICY_SOURCE_REGISTRY) {
            plxReportUnsupportedPolicySource();
            return plxTrace.success(false);
        }
        const HKEY hRoot = plxPolicyRootKey(location);
        const CPLXWCharString szPath = getValueLocation(location, szSubstitution);
        CPLXWCharString szValue;
        bool bRead = false;
        if (m_bExpand) {
            CPLXRegistryStringExpand regValue(hRoot, szPath, m_szValueName, PLX_POLICY_READ_ACCESS, false, 0);
            bRead = regValue.getValue(szValue, false, true);
        } else {
            CPLXRegistryString regValue(hRoot, szPath, m_szValueName, PLX_POLICY_READ_ACCESS, false, 0);
            bRead = regValue.getValue(szValue, false);
        }
        if (!bRead) {
            return plxTrace.success(false);
        }
        out = szValue;
        cacheValue(szValue);
        return plxTrace.success(true);
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}

bool CPLXPolicyStringSetting::setPolicy(PolicyLocation location, const CPLXWCharString& value, bool bCreate,
                                        const CPLXWCharString& szSubstitution, bool bVolatile) {
    PLX_TRACE("CPLXPolicyStringSetting", "setPolicy");
    try {
        if (m_ulSource != PLX_POLICY_SOURCE_REGISTRY) {
            plxReportUnsupportedPolicySource();
            return plxTrace.success(false);
        }
        const HKEY hRoot = plxPolicyRootKey(location);
        const CPLXWCharString szPath = getValueLocation(location, szSubstitution);
        const DWORD dwOptions = bVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
        if (m_bExpand) {
            CPLXRegistryStringExpand regValue(hRoot, szPath, m_szValueName, PLX_POLICY_WRITE_ACCESS, bCreate,
                                              dwOptions);
            if (!regValue.setValue(value, false)) {
                return plxTrace.success(false);
            }
            cacheValue(value);
            return plxTrace.success(true);
        }
        CPLXRegistryString regValue(hRoot, szPath, m_szValueName, PLX_POLICY_WRITE_ACCESS, bCreate, dwOptions);
        if (!regValue.setValue(value, false)) {
            return plxTrace.success(false);
        }
        cacheValue(value);
        if (m_bMirror32) {
            // The 32-bit view's copy does not change the result.
            regValue.setAccess(PLX_POLICY_WRITE_ACCESS | KEY_WOW64_32KEY);
            regValue.setValue(value, false);
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}
