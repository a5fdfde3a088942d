// Process entry of the hotfix installer and its gate checks.
#include "hotfix.h"

#include "plx_flags.h"
#include "plx_handlers.h"
#include "plx_product_vls.h"
#include "plx_scoped_handle.h"
#include "plx_system_library.h"
#include "plx_windows_os_info.h"

namespace {
// The product versions this hotfix repairs: 8.30 up to build 33.
const DWORD kPatchedMajorMinor = 830;
const DWORD kFirstFixedBuild = 34;
// A version part of more digits could wrap in 32 bits and pass for another version.
const ULONG kMaxVersionDigits = 9;

bool readVersionPart(const CPLXWCharString& szVersion, ULONG ulPart, CPLXWCharString& szPart) {
    return szVersion.getToken(szPart, CPLXWCharString(TEXT(".")), ulPart, CPLXWCharString::tmSeparated, CPLXFlags(),
                              CPLXFlags()) &&
           szPart.isNumber(false, false);
}

// One run at a time on a computer: a startup script and a deployment tool, or
// an administrator's second try, would otherwise replace the same library at
// once.  The second run waits for the first and then finds the patch in place.
// A lock that cannot be had (no mutex can be made) does not stop the run.
class RunLock {
public:
    RunLock() : m_mutex(CreateMutexW(nullptr, FALSE, TEXT("Global\\Orvane Vaultline Hotfix 8106"))) {
        if (!m_mutex.isValid()) return;
        // A run that ended without releasing it (killed) leaves it abandoned: ours now.
        const DWORD dwWait = WaitForSingleObject(m_mutex.get(), INFINITE);
        m_bOwned = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
    }
    ~RunLock() {
        if (m_bOwned) ReleaseMutex(m_mutex.get());
    }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

private:
    CPLXScopedKernelHandle m_mutex;
    bool m_bOwned = false;
};

bool readDecimal(const CPLXWCharString& szDigits, DWORD& dwValue) {
    ULONG ulValue = 0;
    if (szDigits.getLength() > kMaxVersionDigits || !szDigits.toNumber(ulValue, CPLXWCharString::nsDec)) return false;
    dwValue = ulValue;
    return true;
}
}  // namespace

bool isSilentCommandLine(const CPLXWCharString& szCommandLine) {
    static const WCHAR* const kSwitches[] = {TEXT("/s"), TEXT("/S"), TEXT("-s"), TEXT("-S")};
    for (const WCHAR* szSwitch : kSwitches) {
        if (szCommandLine.contains(CPLXWCharString(szSwitch))) return true;
    }
    return false;
}

bool isProductInstalled() {
    try {
        CPLXProduct_VLS product;
        return product.isInstalled(PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE);
    }
    PLX_CATCH_RETURN(false)
}

bool getPlatformInfo(PlatformInfo& info) {
    try {
        CPLXWindowsOSInfo osInfo;
        if (osInfo.isVista())
            info.osKind = OS_KIND_VISTA;
        else if (osInfo.isXP())
            info.osKind = OS_KIND_XP;
        else if (osInfo.isVersion61())
            info.osKind = OS_KIND_WIN7;
        else
            info.osKind = OS_KIND_OTHER;
        info.platformCode = osInfo.getPlatform() == PLX_PLATFORM_64BIT ? PLATFORM_PATCH_X64 : PLATFORM_PATCH_X86;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool getVersionInfo(VersionInfo& info) {
    try {
        CPLXProduct_VLS product;
        CPLXWCharString szVersion;
        if (!product.getProductVersion(szVersion)) return false;
        info.versionText = szVersion;
        info.numbersRead = false;

        // A version that does not have three decimal parts is not identified:
        // numbersRead stays false and the gate refuses it.
        CPLXWCharString szMajor, szMinor, szBuild;
        if (!readVersionPart(szVersion, 1, szMajor) || !readVersionPart(szVersion, 2, szMinor) ||
            !readVersionPart(szVersion, 3, szBuild))
            return true;
        DWORD dwMajorMinor = 0, dwBuild = 0;
        if (!readDecimal(szMajor + szMinor, dwMajorMinor) || !readDecimal(szBuild, dwBuild)) return true;
        info.majorMinor = dwMajorMinor;
        info.build = dwBuild;
        info.numbersRead = true;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int) {
    // Started with administrator rights from a download folder: never let a
    // library planted there stand in for a system library.
    CPLXSystemLibrary::restrictProcessSearch();
    RunLock lock;
    try {
        g_silentMode = isSilentCommandLine(CPLXWCharString(lpCmdLine));

        if (!isProductInstalled()) {
            showOutcome(hoNotInstalled, MB_OK, IDOK);
            return 0;
        }
        if (isPatchRecorded()) {
            showOutcome(hoAlreadyInstalled, MB_OK, IDOK);
            return 0;
        }
        PlatformInfo platform;
        if (!getPlatformInfo(platform)) {
            showOutcome(hoFailure, MB_OK, IDOK);
            return 0;
        }
        if (platform.osKind != OS_KIND_WIN7) {
            showOutcome(hoOSMismatch, MB_OK, IDOK);
            return 0;
        }
        if (!getPlatformInfo(platform)) {
            showMessage(IDS_UNKNOWN_FAILURE, MB_OK, IDOK);
            return 0;
        }
        VersionInfo version;
        if (!getVersionInfo(version)) {
            showMessage(IDS_UNKNOWN_FAILURE, MB_OK, IDOK);
            return 0;
        }
        if (!version.numbersRead || version.majorMinor != kPatchedMajorMinor || version.build >= kFirstFixedBuild) {
            showMessage(IDS_VERSION_MISMATCH, MB_OK, IDOK);
            return 0;
        }
        applyPatch(platform.platformCode);
    }
    PLX_CATCH_RETURN(0)
    return 0;
}
