// The host product, Vaultline Security Suite: where it records itself and
// what counts as installed.
#ifndef PLX_PRODUCT_VLS_H
#define PLX_PRODUCT_VLS_H

#include "plx_product.h"

// Where the product records its version and installation directory (under
// HKEY_LOCAL_MACHINE).
#define PLX_VLS_REGISTRY_KEY TEXT("Software\\Orvane\\Vaultline Security Suite")

class CPLXProduct_VLS : public CPLXProduct {
public:
    CPLXProduct_VLS();
    ~CPLXProduct_VLS() override;

    // Installed at least at the requested version; from major version 7 on the
    // common policy setting "VLSInstall" must also read 1.
    bool isInstalled(LONG lMajorVer, LONG lMinorVer, LONG lBuildVer, LONG lPatchVer) override;
    bool getProductVersion(LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer, LONG& lPatchVer) override;
    bool getProductVersion(CPLXWCharString& szVersion) override;

    bool getInstallDirectory(CPLXWCharString& szDirectory);
    bool getRegistryLocation(CPLXWCharString& szLocation);
    // Installed at least at the requested version, without the policy check.
    bool isCoreInstalled(LONG lMajorVer, LONG lMinorVer, LONG lBuildVer, LONG lPatchVer);
};

#endif
