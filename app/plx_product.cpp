#include "plx_product.h"

#include "plx_exceptions.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"
#include "plx_registry_expand.h"
#include "plx_windows_os_info.h"

namespace {
const ULONG kVersionParts = 4;
}

CPLXProduct::CPLXProduct(const CPLXWCharString& szVendorName, const CPLXWCharString& szProductName)
    : m_szVendorName(szVendorName), m_szProductName(szProductName) {
    PLX_TRACE("CPLXProduct", "CPLXProduct");
    plxTrace.done();
}

CPLXProduct::~CPLXProduct() {
    PLX_TRACE("CPLXProduct", "~CPLXProduct");
    m_lRegistryLocations.removeAll();
    plxTrace.done();
}

bool CPLXProduct::addRegistryLocation(const CPLXWCharString& szKeyPath, const CPLXWCharString& szVersionValueName,
                                      const CPLXWCharString& szInstallPathValueName) {
    CPLXProductRegistryInfo* pInfo = new CPLXProductRegistryInfo(szKeyPath, szVersionValueName, szInstallPathValueName);
    if (!m_lRegistryLocations.addPointer(pInfo)) {
        delete pInfo;
        return false;
    }
    return true;
}

bool CPLXProduct::getRegistryItem(ULONG ulItem, CPLXWCharString& szItem) {
    PLX_TRACE("CPLXProduct", "getRegistryItem");
    try {
        CPLXWindowsOSInfo osInfo;
        // The second read looks into the registry view that is not the process's own.
        const REGSAM samOtherView = osInfo.getPlatform() == PLX_PLATFORM_64BIT ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

        if (m_lRegistryLocations.getCount() == 0) return plxTrace.success(false);
        m_lRegistryLocations.moveFirst();
        do {
            const CPLXProductRegistryInfo* pInfo = m_lRegistryLocations.getCurrentPointer();
            if (pInfo == nullptr) continue;
            const CPLXWCharString& szValueName =
                ulItem == riVersion ? pInfo->getVersionValueName() : pInfo->getInstallPathValueName();
            CPLXRegistryString value(HKEY_LOCAL_MACHINE, pInfo->getKeyPath(), szValueName, KEY_READ, false, 0);
            CPLXWCharString szValue;
            bool bRead = value.getValue(szValue, false);
            if (!bRead) {
                value.setAccess(KEY_READ | samOtherView);
                bRead = value.getValue(szValue, false);
            }
            // A path kept as REG_EXPAND_SZ ("%ProgramFiles%\...") names the expanded place.
            if (bRead && value.getType() == REG_EXPAND_SZ) bRead = CPLXRegistryStringExpand::expand(szValue, szValue);
            if (bRead) {
                szItem = ulItem == riRegistryLocation ? pInfo->getKeyPath() : szValue;
                return plxTrace.success(true);
            }
        } while (m_lRegistryLocations.moveNext());
        return plxTrace.success(false);
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXProduct::convertVersion(const CPLXWCharString& szVersion, LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer,
                                 LONG& lPatchVer) {
    PLX_TRACE("CPLXProduct", "convertVersion");
    try {
        LONG* pParts[kVersionParts] = {&lMajorVer, &lMinorVer, &lBuildVer, &lPatchVer};
        const CPLXWCharString szDelimiter(TEXT("."));
        for (ULONG i = 0; i < kVersionParts; ++i) {
            CPLXWCharString szPart;
            if (!szVersion.getToken(szPart, szDelimiter, i + 1, CPLXWCharString::tmSeparated, CPLXFlags(), CPLXFlags()))
                continue;
            ULONG ulValue = 0;
            if (szPart.toNumber(ulValue, CPLXWCharString::nsDec)) *pParts[i] = static_cast<LONG>(ulValue);
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXProduct::checkParms(const LONG* lVersions) {
    PLX_TRACE("CPLXProduct", "checkParms");
    try {
        if (lVersions == nullptr)
            throw CPLXBadArgException(TEXT("lVersions"), TEXT("Cannot have NULL value"), PLX_SRC, PLX_LOG_NOW);
        for (ULONG i = 0; i + 1 < kVersionParts; ++i) {
            if (lVersions[i] != PLX_DONT_CARE) continue;
            for (ULONG j = i + 1; j < kVersionParts; ++j) {
                if (lVersions[j] == PLX_DONT_CARE) continue;
                WCHAR szName[32];
                wsprintfW(szName, TEXT("lVersions[%d]"), static_cast<int>(j));
                throw CPLXBadArgException(szName, TEXT("Cannot be real value, PLX_DONT_CAREs prior"), PLX_SRC,
                                          PLX_LOG_NOW);
            }
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXProduct::isVersionInstalled(const LONG* lRequested, const LONG* lInstalled) {
    PLX_TRACE("CPLXProduct", "isVersionInstalled");
    bool bInstalled = true;
    for (ULONG i = 0; i < kVersionParts; ++i) {
        if (lRequested[i] < lInstalled[i]) break;
        if (lInstalled[i] < lRequested[i]) {
            bInstalled = false;
            break;
        }
    }
    plxTrace.done();
    return bInstalled;
}
