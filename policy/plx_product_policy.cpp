#include "plx_product_policy.h"

namespace {

// The first setting tagged ulID, copied into out; reports the warning when there is none.
template <class Setting>
bool findSetting(CPLXDblList<Setting>& lSettings, ULONG ulID, Setting& out) {
    if (lSettings.findTag(static_cast<LONG>(ulID)) && lSettings.getCurrent(out)) {
        return true;
    }
    CPLXGetPolicySettingWarning warning(ulID, PLX_SRC, PLX_LOG_NOW);
    return false;
}

}  // namespace

CPLXProductPolicy::CPLXProductPolicy(const CPLXPolicySearchPolicy& searchOrder) : CPLXPolicySearchPolicy(searchOrder) {
    PLX_TRACE("CPLXProductPolicy", "CPLXProductPolicy");
    plxTrace.done();
}

CPLXProductPolicy::~CPLXProductPolicy() {
    PLX_TRACE("CPLXProductPolicy", "~CPLXProductPolicy");
    m_lDwordSettings.removeAll();
    m_lStringSettings.removeAll();
    m_lLocations.removeAll();
    plxTrace.done();
}

bool CPLXProductPolicy::addPolicySetting(const CPLXPolicyDwordSetting& setting) {
    PLX_TRACE("CPLXProductPolicy", "addPolicySetting");
    try {
        return plxTrace.success(m_lDwordSettings.add(setting, static_cast<LONG>(setting.getID())));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

bool CPLXProductPolicy::addPolicySetting(const CPLXPolicyStringSetting& setting) {
    PLX_TRACE("CPLXProductPolicy", "addPolicySetting");
    try {
        return plxTrace.success(m_lStringSettings.add(setting, static_cast<LONG>(setting.getID())));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

bool CPLXProductPolicy::getPolicySetting(ULONG ulID, CPLXPolicyDwordSetting& out) {
    PLX_TRACE("CPLXProductPolicy", "getPolicySetting");
    try {
        return plxTrace.success(findSetting(m_lDwordSettings, ulID, out));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

bool CPLXProductPolicy::getPolicySetting(ULONG ulID, CPLXPolicyStringSetting& out) {
    PLX_TRACE("CPLXProductPolicy", "getPolicySetting");
    try {
        return plxTrace.success(findSetting(m_lStringSettings, ulID, out));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

template <class Setting, class Value>
bool CPLXProductPolicy::searchLocations(Setting& setting, Value& out, bool bNoDefault,
                                        const CPLXWCharString& szSubstitution) {
    const ULONG ulCount = getLocationCount();
    for (ULONG ulIndex = 0; ulIndex < ulCount; ++ulIndex) {
        // The local copy's cache is never consulted: every call reads afresh.
        if (setting.getPolicy(getPolicyLocation(ulIndex), out, false, szSubstitution)) {
            return true;
        }
    }
    if (bNoDefault) {
        return false;
    }
    out = setting.getDefaultValue();
    return true;
}

bool CPLXProductPolicy::getPolicy(ULONG ulID, DWORD& out, bool bNoDefault, const CPLXWCharString& szSubstitution) {
    PLX_TRACE("CPLXProductPolicy", "getPolicy");
    try {
        CPLXPolicyDwordSetting setting;
        if (!getPolicySetting(ulID, setting)) {
            return plxTrace.success(false);
        }
        return plxTrace.success(searchLocations(setting, out, bNoDefault, szSubstitution));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

bool CPLXProductPolicy::getPolicy(ULONG ulID, CPLXWCharString& out, bool bNoDefault,
                                  const CPLXWCharString& szSubstitution) {
    PLX_TRACE("CPLXProductPolicy", "getPolicy");
    try {
        CPLXPolicyStringSetting setting;
        if (!getPolicySetting(ulID, setting)) {
            return plxTrace.success(false);
        }
        return plxTrace.success(searchLocations(setting, out, bNoDefault, szSubstitution));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}
