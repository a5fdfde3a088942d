// The order in which policy locations are consulted, first entry first.
#ifndef PLX_POLICY_SEARCH_POLICY_H
#define PLX_POLICY_SEARCH_POLICY_H

#include "plx_dbllist.h"
#include "plx_policy_setting.h"

class CPLXPolicySearchPolicy {
public:
    CPLXPolicySearchPolicy();
    CPLXPolicySearchPolicy(const CPLXPolicySearchPolicy& other);
    CPLXPolicySearchPolicy& operator=(const CPLXPolicySearchPolicy& other);
    ~CPLXPolicySearchPolicy();

    // Appends a location; duplicates and values that are no location are kept.
    bool addPolicy(PolicyLocation location);
    // The location at 0-based position ulIndex; plMachinePolicy past the end.
    PolicyLocation getPolicyLocation(ULONG ulIndex);
    ULONG getLocationCount() const;

protected:
    CPLXDblList<PolicyLocation, CPLXStdNode<PolicyLocation>> m_lLocations;
};

#endif
