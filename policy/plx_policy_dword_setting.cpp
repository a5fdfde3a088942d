#include "plx_policy_dword_setting.h"

#include "plx_registry_dword.h"

CPLXPolicyDwordSetting::CPLXPolicyDwordSetting() {
    PLX_TRACE("CPLXPolicyDwordSetting", "CPLXPolicyDwordSetting");
    plxTrace.done();
}

CPLXPolicyDwordSetting::CPLXPolicyDwordSetting(const CPLXWCharString& szVendorName,
                                               const CPLXWCharString& szProductName, ULONG ulID, ULONG ulSource,
                                               const CPLXWCharString& szVersion, const CPLXWCharString& szValueName,
                                               const CPLXWCharString& szSubKey, DWORD dwDefault, bool bMirror32)
    : CPLXPolicySetting<DWORD>(szVendorName, szProductName, ulID, ulSource, PLX_POLICY_TYPE_DWORD, szVersion,
                               szValueName, szSubKey, dwDefault, bMirror32) {
    PLX_TRACE("CPLXPolicyDwordSetting", "CPLXPolicyDwordSetting");
    plxTrace.done();
}

bool CPLXPolicyDwordSetting::getPolicy(PolicyLocation location, DWORD& out, bool bUseCache,
                                       const CPLXWCharString& szSubstitution) {
    PLX_TRACE("CPLXPolicyDwordSetting", "getPolicy");
    try {
        if (bUseCache && m_bCached) {
            out = m_tCachedValue;
            return plxTrace.success(true);
        }
        if (m_ulSource != PLX_POLICY_SOURCE_REGISTRY) {
            plxReportUnsupportedPolicySource();
            return plxTrace.success(false);
        }
        CPLXRegistryDword value(plxPolicyRootKey(location), getValueLocation(location, szSubstitution),
                                m_szValueName, PLX_POLICY_READ_ACCESS, false, 0);
        DWORD dwValue = 0;
        if (!value.getValue(dwValue, false)) {
            return plxTrace.success(false);
        }
        out = dwValue;
        cacheValue(dwValue);
        return plxTrace.success(true);
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}

bool CPLXPolicyDwordSetting::setPolicy(PolicyLocation location, const DWORD& value, bool bCreate,
                                       const CPLXWCharString& szSubstitution, bool bVolatile) {
    PLX_TRACE("CPLXPolicyDwordSetting", "setPolicy");
    try {
        if (m_ulSource != PLX_POLICY_SOURCE_REGISTRY) {
            plxReportUnsupportedPolicySource();
            return plxTrace.success(false);
        }
        const DWORD dwValue = value;
        CPLXRegistryDword regValue(plxPolicyRootKey(location), getValueLocation(location, szSubstitution),
                                   m_szValueName, PLX_POLICY_WRITE_ACCESS, bCreate,
                                   bVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE);
        if (!regValue.setValue(dwValue, false)) {
            return plxTrace.success(false);
        }
        cacheValue(dwValue);
        if (m_bMirror32) {
            // The 32-bit view's copy is a convenience for 32-bit readers; its
            // failure does not undo the write above.
            regValue.setAccess(PLX_POLICY_WRITE_ACCESS | KEY_WOW64_32KEY);
            regValue.setValue(dwValue, false);
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}
