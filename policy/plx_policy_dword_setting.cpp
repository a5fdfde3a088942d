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
        return plxTrace.success(fetchValue(out, bUseCache, [&](DWORD& dwValue) {
            CPLXRegistryDword value(plxPolicyRootKey(location), getValueLocation(location, szSubstitution),
                                    m_szValueName, PLX_POLICY_READ_ACCESS, false, 0);
            return value.getValue(dwValue, false);
        }));
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}

bool CPLXPolicyDwordSetting::setPolicy(PolicyLocation location, const DWORD& value, bool bCreate,
                                       const CPLXWCharString& szSubstitution, bool bVolatile) {
    PLX_TRACE("CPLXPolicyDwordSetting", "setPolicy");
    try {
        if (!checkRegistrySource()) {
            return plxTrace.success(false);
        }
        CPLXRegistryDword regValue(plxPolicyRootKey(location), getValueLocation(location, szSubstitution),
                                   m_szValueName, PLX_POLICY_WRITE_ACCESS, bCreate,
                                   bVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE);
        return plxTrace.success(storeValue(regValue, value, m_bMirror32));
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}
