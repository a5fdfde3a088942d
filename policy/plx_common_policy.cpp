#include "plx_common_policy.h"

#include "plx_policy_ad_search_policy.h"

namespace {

struct CommonDwordRow {
    ULONG ulID;
    LPCWSTR szValueName;
    LPCWSTR szSubKey;  // null for none
    DWORD dwDefault;
    bool bMirror32;
};

struct CommonStringRow {
    ULONG ulID;
    LPCWSTR szValueName;
    LPCWSTR szSubKey;
    LPCWSTR szDefault;  // null for the empty string
    bool bExpand;
    bool bMirror32;
};

const CommonDwordRow s_dwordRows[] = {
    {7, TEXT("PDALogonGUIOption"), PLX_COMMON_SECOND_PRODUCT, 0, false},
    {6, TEXT("WindowsPasswordRecoveryGUIOption"), PLX_COMMON_SECOND_PRODUCT, 0, false},
    {10, TEXT("PasswordRecoveryEnabled"), PLX_COMMON_SECOND_PRODUCT, 0, true},
    {0, TEXT("UsingEmulator"), PLX_COMMON_HOST_PRODUCT, 0, false},
    {1, TEXT("VLSInstall"), PLX_COMMON_HOST_PRODUCT, 0, false},
    {4, TEXT("PreferInternalFPSensor"), PLX_COMMON_HOST_PRODUCT, 0, false},
    {5, TEXT("FPSwipeResult"), PLX_COMMON_HOST_PRODUCT, 1, false},
    {2, TEXT("VLS6VLSInstall"), PLX_COMMON_HOST_PRODUCT, 0, false},
    {8, TEXT("SystemType"), nullptr, 0, false},
    {11, TEXT("WizardGUIOption"), nullptr, 0, false},
    {9, TEXT("DisableHotfixMessage"), PLX_COMMON_HOST_PRODUCT, 0, false},
    {PLX_COMMON_POLICY_END, nullptr, nullptr, 0, false},
};

const CommonStringRow s_stringRows[] = {
    {3, TEXT("AdminUser"), PLX_COMMON_HOST_PRODUCT, nullptr, false, true},
    {PLX_COMMON_POLICY_END, nullptr, nullptr, nullptr, false, false},
};

template <class Row, size_t N>
constexpr size_t rowCount(const Row (&)[N]) {
    return N;
}

}  // namespace

CPLXCommonPolicy::CPLXCommonPolicy() : CPLXProductPolicy(CPLXPolicyADSearchPolicy()) {
    PLX_TRACE("CPLXCommonPolicy", "CPLXCommonPolicy");
    const CPLXWCharString szVendor(PLX_COMMON_VENDOR_NAME);
    const CPLXWCharString szProduct(PLX_COMMON_PRODUCT_NAME);
    const CPLXWCharString szVersion(PLX_COMMON_VERSION);
    // The end row stops each walk; the array bound guards a table without one.
    for (size_t i = 0; i < rowCount(s_dwordRows) && s_dwordRows[i].ulID != PLX_COMMON_POLICY_END; ++i) {
        const CommonDwordRow& row = s_dwordRows[i];
        addPolicySetting(CPLXPolicyDwordSetting(szVendor, szProduct, row.ulID, PLX_POLICY_SOURCE_REGISTRY, szVersion,
                                                CPLXWCharString(row.szValueName), CPLXWCharString(row.szSubKey),
                                                row.dwDefault, row.bMirror32));
    }
    for (size_t i = 0; i < rowCount(s_stringRows) && s_stringRows[i].ulID != PLX_COMMON_POLICY_END; ++i) {
        const CommonStringRow& row = s_stringRows[i];
        addPolicySetting(CPLXPolicyStringSetting(szVendor, szProduct, row.ulID, PLX_POLICY_SOURCE_REGISTRY, szVersion,
                                                 CPLXWCharString(row.szValueName), CPLXWCharString(row.szSubKey),
                                                 CPLXWCharString(row.szDefault), row.bExpand, row.bMirror32));
    }
    plxTrace.done();
}

CPLXCommonPolicy::~CPLXCommonPolicy() {
    PLX_TRACE("CPLXCommonPolicy", "~CPLXCommonPolicy");
    plxTrace.done();
}
