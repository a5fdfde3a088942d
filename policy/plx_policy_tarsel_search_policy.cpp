#include "plx_policy_tarsel_search_policy.h"

CPLXPolicyTarselSearchPolicy::CPLXPolicyTarselSearchPolicy() {
    PLX_TRACE("CPLXPolicyTarselSearchPolicy", "CPLXPolicyTarselSearchPolicy");
    addPolicy(plMachine);
    addPolicy(plUser);
    addPolicy(plMachineUserDefaults);
    plxTrace.done();
}
