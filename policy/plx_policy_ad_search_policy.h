// The full search order: administrative policies (machine, user, policy "User
// Defaults") before the product's own keys (machine, user, "User Defaults").
#ifndef PLX_POLICY_AD_SEARCH_POLICY_H
#define PLX_POLICY_AD_SEARCH_POLICY_H

#include "plx_policy_search_policy.h"

class CPLXPolicyADSearchPolicy : public CPLXPolicySearchPolicy {
public:
    CPLXPolicyADSearchPolicy();
};

#endif
