// The settings common to the maker's products ("Orvane", "PLX Common"),
// searched in the full administrative order.
#ifndef PLX_COMMON_POLICY_H
#define PLX_COMMON_POLICY_H

#include "plx_product_policy.h"

#define PLX_COMMON_VENDOR_NAME TEXT("Orvane")
#define PLX_COMMON_PRODUCT_NAME TEXT("PLX Common")
#define PLX_COMMON_VERSION TEXT("1.0")
// Sub keys: the host product and the second product whose logon options are common settings.
#define PLX_COMMON_HOST_PRODUCT TEXT("Vaultline Security Suite")
#define PLX_COMMON_SECOND_PRODUCT TEXT("Vaultline Identity Manager")
// The identifier of the row that ends each table.
#define PLX_COMMON_POLICY_END 12

// Identifiers of the common settings.
enum PLXCommonPolicyId {
    cpUsingEmulator = 0,
    cpVLSInstall = 1,
    cpVLS6VLSInstall = 2,
    cpAdminUser = 3,
    cpPreferInternalFPSensor = 4,
    cpFPSwipeResult = 5,
    cpWindowsPasswordRecoveryGUIOption = 6,
    cpPDALogonGUIOption = 7,
    cpSystemType = 8,
    cpDisableHotfixMessage = 9,
    cpPasswordRecoveryEnabled = 10,
    cpWizardGUIOption = 11
};

class CPLXCommonPolicy : public CPLXProductPolicy {
public:
    CPLXCommonPolicy();
    ~CPLXCommonPolicy();
};

#endif
