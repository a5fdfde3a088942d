// A policy setting holding a 32-bit number, stored as REG_DWORD.
#ifndef PLX_POLICY_DWORD_SETTING_H
#define PLX_POLICY_DWORD_SETTING_H

#include "plx_policy_setting.h"

class CPLXPolicyDwordSetting : public CPLXPolicySetting<DWORD> {
public:
    CPLXPolicyDwordSetting();
    CPLXPolicyDwordSetting(const CPLXWCharString& szVendorName, const CPLXWCharString& szProductName, ULONG ulID,
                           ULONG ulSource, const CPLXWCharString& szVersion, const CPLXWCharString& szValueName,
                           const CPLXWCharString& szSubKey, DWORD dwDefault, bool bMirror32);

    bool getPolicy(PolicyLocation location, DWORD& out, bool bUseCache, const CPLXWCharString& szSubstitution) override;
    // With m_bMirror32 a successful write is repeated in the 32-bit registry view.
    bool setPolicy(PolicyLocation location, const DWORD& value, bool bCreate, const CPLXWCharString& szSubstitution,
                   bool bVolatile) override;
};

#endif
