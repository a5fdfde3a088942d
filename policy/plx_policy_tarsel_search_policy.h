// The search order without administrative policies: the product's machine
// key, the user's key, then the product's "User Defaults".
#ifndef PLX_POLICY_TARSEL_SEARCH_POLICY_H
#define PLX_POLICY_TARSEL_SEARCH_POLICY_H

#include "plx_policy_search_policy.h"

class CPLXPolicyTarselSearchPolicy : public CPLXPolicySearchPolicy {
public:
    CPLXPolicyTarselSearchPolicy();
};

#endif
