#include "plx_policy_search_policy.h"

CPLXPolicySearchPolicy::CPLXPolicySearchPolicy() {
    PLX_TRACE("CPLXPolicySearchPolicy", "CPLXPolicySearchPolicy");
    plxTrace.done();
}

CPLXPolicySearchPolicy::CPLXPolicySearchPolicy(const CPLXPolicySearchPolicy& other) {
    PLX_TRACE("CPLXPolicySearchPolicy", "CPLXPolicySearchPolicy");
    m_lLocations.copyFrom(other.m_lLocations);
    plxTrace.done();
}

CPLXPolicySearchPolicy& CPLXPolicySearchPolicy::operator=(const CPLXPolicySearchPolicy& other) {
    if (this != &other) {
        m_lLocations.copyFrom(other.m_lLocations);
    }
    return *this;
}

CPLXPolicySearchPolicy::~CPLXPolicySearchPolicy() {
    PLX_TRACE("CPLXPolicySearchPolicy", "~CPLXPolicySearchPolicy");
    m_lLocations.removeAll();
    plxTrace.done();
}

bool CPLXPolicySearchPolicy::addPolicy(PolicyLocation location) {
    PLX_TRACE("CPLXPolicySearchPolicy", "addPolicy");
    try {
        return plxTrace.success(m_lLocations.add(location, 0));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

PolicyLocation CPLXPolicySearchPolicy::getPolicyLocation(ULONG ulIndex) {
    PLX_TRACE("CPLXPolicySearchPolicy", "getPolicyLocation");
    try {
        if (ulIndex >= m_lLocations.getCount()) {
            throw CPLXIndexOutOfBoundsException(PLX_SRC, PLX_LOG_NOW);
        }
        m_lLocations.moveFirst();
        for (ULONG ulStep = 0; ulStep < ulIndex; ++ulStep) {
            m_lLocations.moveNext();
        }
        PolicyLocation location = plMachinePolicy;
        if (!m_lLocations.getCurrent(location)) {
            plxTrace.success(false);
            return plMachinePolicy;
        }
        plxTrace.success(true);
        return location;
    } catch (CPLXIndexOutOfBoundsException&) {
        // Written when it was raised.
        plxTrace.success(false);
        return plMachinePolicy;
    }
    PLX_CATCH_RETURN(plMachinePolicy)
}

ULONG CPLXPolicySearchPolicy::getLocationCount() const { return m_lLocations.getCount(); }
