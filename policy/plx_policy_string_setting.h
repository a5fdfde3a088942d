// A policy setting holding a string, stored as REG_SZ, or as REG_EXPAND_SZ and
// handed out with its environment variables expanded.
#ifndef PLX_POLICY_STRING_SETTING_H
#define PLX_POLICY_STRING_SETTING_H

#include "plx_policy_setting.h"

class CPLXPolicyStringSetting : public CPLXPolicySetting<CPLXWCharString> {
public:
    CPLXPolicyStringSetting();
    CPLXPolicyStringSetting(const CPLXWCharString& szVendorName, const CPLXWCharString& szProductName, ULONG ulID,
                            ULONG ulSource, const CPLXWCharString& szVersion, const CPLXWCharString& szValueName,
                            const CPLXWCharString& szSubKey, const CPLXWCharString& szDefault, bool bExpand,
                            bool bMirror32);

    bool getPolicy(PolicyLocation location, CPLXWCharString& out, bool bUseCache,
                   const CPLXWCharString& szSubstitution) override;
    // With m_bMirror32 a successful write of a plain string is repeated in the
    // 32-bit registry view.
    bool setPolicy(PolicyLocation location, const CPLXWCharString& value, bool bCreate,
                   const CPLXWCharString& szSubstitution, bool bVolatile) override;

    bool isExpand() const { return m_bExpand; }

private:
    bool m_bExpand;
};

#endif
