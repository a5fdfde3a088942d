#include "plx_product_vls.h"

#include "plx_common_policy.h"
#include "plx_exceptions.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"

namespace {
// Setting 1 of the common policy table.
const ULONG kPolicyVLSInstall = 1;
// Product versions from this major version on record their installation in the policy.
const LONG kPolicyMajorVersion = 7;
}  // namespace

CPLXProduct_VLS::CPLXProduct_VLS()
    : CPLXProduct(CPLXWCharString(TEXT("Orvane")), CPLXWCharString(TEXT("Vaultline Security Suite"))) {
    PLX_TRACE("CPLXProduct_VLS", "CPLXProduct_VLS");
    const CPLXWCharString szVersion(TEXT("Version"));
    const CPLXWCharString szInstallPath(TEXT("InstallPath"));
    addRegistryLocation(CPLXWCharString(PLX_VLS_REGISTRY_KEY), szVersion, szInstallPath);
    // Where releases before the rename recorded themselves.
    addRegistryLocation(CPLXWCharString(TEXT("Software\\Meridal Stillharbour\\Vaultline Security Software")), szVersion,
                        szInstallPath);
    plxTrace.done();
}

CPLXProduct_VLS::~CPLXProduct_VLS() {
    PLX_TRACE("CPLXProduct_VLS", "~CPLXProduct_VLS");
    plxTrace.done();
}

bool CPLXProduct_VLS::isInstalled(LONG lMajorVer, LONG lMinorVer, LONG lBuildVer, LONG lPatchVer) {
    PLX_TRACE("CPLXProduct_VLS", "isInstalled");
    try {
        LONG lMajor = 0, lMinor = 0, lBuild = 0, lPatch = 0;
        if (!isCoreInstalled(lMajorVer, lMinorVer, lBuildVer, lPatchVer) ||
            !getProductVersion(lMajor, lMinor, lBuild, lPatch))
            return plxTrace.logical(false);
        if (lMajor < kPolicyMajorVersion) return plxTrace.logical(true);

        CPLXCommonPolicy policy;
        DWORD dwInstalled = 0;
        policy.getPolicy(kPolicyVLSInstall, dwInstalled, false, CPLXWCharString());
        return plxTrace.logical(dwInstalled == 1);
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXProduct_VLS::getProductVersion(LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer, LONG& lPatchVer) {
    PLX_TRACE("CPLXProduct_VLS", "getProductVersion");
    try {
        CPLXWCharString szVersion;
        if (!getProductVersion(szVersion)) return plxTrace.success(false);
        return plxTrace.success(convertVersion(szVersion, lMajorVer, lMinorVer, lBuildVer, lPatchVer));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXProduct_VLS::getProductVersion(CPLXWCharString& szVersion) {
    PLX_TRACE("CPLXProduct_VLS", "getProductVersion");
    try {
        return plxTrace.success(getRegistryItem(riVersion, szVersion));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXProduct_VLS::getInstallDirectory(CPLXWCharString& szDirectory) {
    PLX_TRACE("CPLXProduct_VLS", "getInstallDirectory");
    try {
        return plxTrace.success(getRegistryItem(riInstallPath, szDirectory));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXProduct_VLS::getRegistryLocation(CPLXWCharString& szLocation) {
    PLX_TRACE("CPLXProduct_VLS", "getRegistryLocation");
    try {
        return plxTrace.success(getRegistryItem(riRegistryLocation, szLocation));
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXProduct_VLS::isCoreInstalled(LONG lMajorVer, LONG lMinorVer, LONG lBuildVer, LONG lPatchVer) {
    PLX_TRACE("CPLXProduct_VLS", "isCoreInstalled");
    try {
        const LONG lRequested[4] = {lMajorVer, lMinorVer, lBuildVer, lPatchVer};
        if (!checkParms(lRequested))
            throw CPLXBadArgException(TEXT("lMinorVer, lBuildVer, or lPatchVer"),
                                      TEXT("Cannot have value after PLX_DONT_CARE"), PLX_SRC, PLX_LOG_NOW);
        LONG lInstalled[4] = {0, 0, 0, 0};
        if (!getProductVersion(lInstalled[0], lInstalled[1], lInstalled[2], lInstalled[3]))
            return plxTrace.success(false);
        return plxTrace.success(isVersionInstalled(lRequested, lInstalled));
    }
    PLX_CATCH_RETURN(false)
}
