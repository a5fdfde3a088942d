// A product's policy: its settings, looked up by identifier, and the search
// order in which their locations are consulted.  The first location that holds
// a value wins; the setting's default answers when none does.
#ifndef PLX_PRODUCT_POLICY_H
#define PLX_PRODUCT_POLICY_H

#include "plx_policy_dword_setting.h"
#include "plx_policy_search_policy.h"
#include "plx_policy_string_setting.h"

class CPLXProductPolicy : public CPLXPolicySearchPolicy {
public:
    explicit CPLXProductPolicy(const CPLXPolicySearchPolicy& searchOrder);
    ~CPLXProductPolicy();

    // Appends a copy tagged with the setting's identifier.  An identifier that
    // is already present is stored too but never found.
    bool addPolicySetting(const CPLXPolicyDwordSetting& setting);
    bool addPolicySetting(const CPLXPolicyStringSetting& setting);

    // Copies the first setting with that identifier into out.
    bool getPolicySetting(ULONG ulID, CPLXPolicyDwordSetting& out);
    bool getPolicySetting(ULONG ulID, CPLXPolicyStringSetting& out);

    // The value of setting ulID from the first location of the search order
    // that holds it; otherwise its default, or false with out unchanged when
    // bNoDefault is set.
    bool getPolicy(ULONG ulID, DWORD& out, bool bNoDefault, const CPLXWCharString& szSubstitution);
    bool getPolicy(ULONG ulID, CPLXWCharString& out, bool bNoDefault, const CPLXWCharString& szSubstitution);

private:
    template <class Setting, class Value>
    bool searchLocations(Setting& setting, Value& out, bool bNoDefault, const CPLXWCharString& szSubstitution);

    CPLXDblList<CPLXPolicyDwordSetting> m_lDwordSettings;
    CPLXDblList<CPLXPolicyStringSetting> m_lStringSettings;
};

#endif
