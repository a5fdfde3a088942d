// The body of the hotfix: which libraries go where, the record and the
// restart question.
#include "hotfix.h"

#include "plx_handlers.h"
#include "plx_product_vls.h"
#include "plx_registry_string.h"
#include "plx_win_reboot.h"

namespace {
const WCHAR* const kLibrary32 = TEXT("plxpwm_ie_com.dll");
const WCHAR* const kLibrary64 = TEXT("plxpwm_ie_com_x64.dll");
const WCHAR* const kDescription = TEXT("Resolve null pointer result in IE crash.");

// Shows the refusal for a same or older installed library; false when the patch may go on.
bool refusedByVersion(int iComparison)
{
    if (iComparison == FILE_VERSION_SAME) {
        showMessage(IDS_ALREADY_INSTALLED, MB_OK, IDOK);
        return true;
    }
    if (iComparison == FILE_VERSION_OLDER) {
        showMessage(IDS_VERSION_MISMATCH, MB_OK, IDOK);
        return true;
    }
    return false;
}

// Whether the host product lookup names an installation directory.  Without
// one the bare library name would be compared with, and copied to, whatever
// the current directory holds.
bool isInstallDirectoryKnown()
{
    CPLXProduct_VLS product;
    CPLXWCharString szDirectory;
    return product.getInstallDirectory(szDirectory) && szDirectory.getLength() > 0;
}

// The installation directory that the 64-bit registry view names; empty when unknown.
CPLXWCharString getInstallDirectory64()
{
    CPLXWCharString szDirectory;
    CPLXRegistryString installPath(HKEY_LOCAL_MACHINE, CPLXWCharString(TEXT("Software\\Orvane\\Vaultline Security Suite")),
                                   CPLXWCharString(TEXT("InstallPath")), KEY_READ, false, 0);
    installPath.setAccess(KEY_READ | KEY_WOW64_64KEY);
    installPath.getValue(szDirectory, false);
    return szDirectory;
}

bool patch32()
{
    CPLXWCharString szNewFile;
    resolveSourcePath(CPLXWCharString(kLibrary32), szNewFile);
    if (refusedByVersion(compareFileVersions(szNewFile, CPLXWCharString(kLibrary32))))
        return false;
    return replaceFile(CPLXWCharString(kLibrary32), CPLXWCharString());
}

bool patch64()
{
    CPLXWCharString szNewFile64;
    resolveSourcePath(CPLXWCharString(kLibrary64), szNewFile64);
    // No separator is added: InstallPath ends in a backslash.
    const CPLXWCharString szTarget64 = getInstallDirectory64() + CPLXWCharString(kLibrary32);
    if (refusedByVersion(compareFileVersions(szNewFile64, szTarget64)))
        return false;
    const bool bCopied64 = replaceFile(szNewFile64, szTarget64);

    CPLXWCharString szNewFile32;
    resolveSourcePath(CPLXWCharString(kLibrary32), szNewFile32);
    const bool bCopied32 = replaceFile(szNewFile32, CPLXWCharString(kLibrary32));
    return bCopied64 && bCopied32;
}
}  // namespace

void applyPatch(DWORD dwPlatformCode)
{
    try {
        if (dwPlatformCode != PLATFORM_PATCH_X86 && dwPlatformCode != PLATFORM_PATCH_X64) {
            showMessage(IDS_OS_MISMATCH, MB_OK, IDOK);
            return;
        }
        if (!isInstallDirectoryKnown()) {
            showMessage(IDS_UNKNOWN_FAILURE, MB_OK, IDOK);
            return;
        }
        const bool bPatched = dwPlatformCode == PLATFORM_PATCH_X86 ? patch32() : patch64();
        if (!bPatched)
            return;

        CPLXDblList<CPLXWCharString> lFiles;
        lFiles.add(CPLXWCharString(kLibrary32));
        writePatchRecord(CPLXWCharString(kDescription), lFiles);
        promptRestart();
        lFiles.removeAll();
    }
    PLX_CATCH_RETURN()
}

bool promptRestart()
{
    try {
        if (showMessage(IDS_RESTART, MB_YESNO, IDNO) != IDYES)
            return true;
        CPLXWinReboot reboot;
        return reboot.rebootSystem(false, CPLXWCharString(), CPLXWCharString(), nullptr);
    }
    PLX_CATCH_RETURN(false)
}
