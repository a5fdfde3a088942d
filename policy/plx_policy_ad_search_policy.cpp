#include "plx_policy_ad_search_policy.h"

CPLXPolicyADSearchPolicy::CPLXPolicyADSearchPolicy() {
    PLX_TRACE("CPLXPolicyADSearchPolicy", "CPLXPolicyADSearchPolicy");
    addPolicy(plMachinePolicy);
    addPolicy(plUserPolicy);
    addPolicy(plMachinePolicyUserDefaults);
    addPolicy(plMachine);
    addPolicy(plUser);
    addPolicy(plMachineUserDefaults);
    plxTrace.done();
}
