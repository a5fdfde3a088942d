// The body of the hotfix: which libraries go where, the record and the
// restart question.
#include "hotfix.h"

#include "plx_handlers.h"
#include "plx_win_reboot.h"

namespace {
const WCHAR* const kLibrary32 = TEXT("plxpwm_ie_com.dll");
const WCHAR* const kLibrary64 = TEXT("plxpwm_ie_com_x64.dll");
const WCHAR* const kDescription = TEXT("Resolve null pointer result in IE crash.");

// The libraries this computer gets, with where each goes; false (reported)
// when a destination is unknown.  Both builds are installed under the 32-bit
// name; on 64-bit Windows the 64-bit one into the directory that the 64-bit
// registry view names, which must be a directory of its own.
bool planLibraries(DWORD dwPlatformCode, const CPLXWCharString& szDirectory, PackageLibrary* pLibraries, int& nCount) {
    nCount = 0;
    if (dwPlatformCode == PLATFORM_PATCH_X64) {
        CPLXWCharString szDirectory64;
        const bool bKnown = getInstallDirectory64(szDirectory64);
        PackageLibrary& library64 = pLibraries[nCount++];
        library64.szName = kLibrary64;
        library64.wMachine = IMAGE_FILE_MACHINE_AMD64;
        library64.szTarget = szDirectory64 + CPLXWCharString(kLibrary32);
        // Without it the 64-bit build would land on the 32-bit library.
        if (!bKnown || lstrcmpiW(szDirectory64.c_str(), szDirectory.c_str()) == 0)
            return reportFailedUpdate(library64.szTarget);
    }
    PackageLibrary& library32 = pLibraries[nCount++];
    library32.szName = kLibrary32;
    library32.wMachine = IMAGE_FILE_MACHINE_I386;
    library32.szTarget = szDirectory + CPLXWCharString(kLibrary32);
    return true;
}

// The record that deployment tools look for; only when it is not whole yet
// unless bAlways.
void recordPatch(bool bAlways) {
    CPLXDblList<CPLXWCharString> lFiles;
    lFiles.add(CPLXWCharString(kLibrary32));
    if (bAlways || !isPatchRecordComplete(CPLXWCharString(kDescription), lFiles))
        writePatchRecord(CPLXWCharString(kDescription), lFiles);
    lFiles.removeAll();
}
}  // namespace

// Nothing changes before every library of the package is known to be whole
// and every installed one has been compared: a run either replaces what is
// older or leaves everything as it was.  A run that a crash stopped halfway
// is completed by the next one, which finds some libraries current.
void applyPatch(DWORD dwPlatformCode) {
    try {
        if (dwPlatformCode != PLATFORM_PATCH_X86 && dwPlatformCode != PLATFORM_PATCH_X64) {
            showMessage(IDS_OS_MISMATCH, MB_OK, IDOK);
            return;
        }
        // Without it a bare library name would name a file of the current directory.
        CPLXWCharString szDirectory;
        if (!getInstallDirectory(szDirectory)) {
            showMessage(IDS_UNKNOWN_FAILURE, MB_OK, IDOK);
            return;
        }
        PackageLibrary libraries[2];
        int nCount = 0;
        if (!planLibraries(dwPlatformCode, szDirectory, libraries, nCount)) return;
        bool bPackageWhole = true;
        for (int i = 0; i < nCount; ++i) {
            if (!checkPackageLibrary(libraries[i])) {
                reportFailedUpdate(libraries[i].szTarget);
                bPackageWhole = false;
            }
        }
        if (!bPackageWhole) return;

        int comparisons[2] = {};
        bool bAllCurrent = true;
        for (int i = 0; i < nCount; ++i) {
            comparisons[i] = compareFileVersions(libraries[i]);
            if (comparisons[i] == FILE_VERSION_OLDER) {
                showMessage(IDS_VERSION_MISMATCH, MB_OK, IDOK);
                return;
            }
            bAllCurrent = bAllCurrent && comparisons[i] == FILE_VERSION_SAME;
        }
        if (bAllCurrent) {
            // Also what a run finds when the one before it stopped before its record.
            recordPatch(false);
            showMessage(IDS_ALREADY_INSTALLED, MB_OK, IDOK);
            return;
        }

        // A failed replacement does not keep the next one from being tried.
        bool bPatched = true;
        for (int i = 0; i < nCount; ++i) {
            if (comparisons[i] != FILE_VERSION_SAME) bPatched = replaceFile(libraries[i]) && bPatched;
        }
        if (!bPatched) return;
        recordPatch(true);
        promptRestart();
    }
    PLX_CATCH_RETURN()
}

bool promptRestart() {
    try {
        if (showMessage(IDS_RESTART, MB_YESNO, IDNO) != IDYES) return true;
        CPLXWinReboot reboot;
        return reboot.rebootSystem(false, CPLXWCharString(), CPLXWCharString(), nullptr);
    }
    PLX_CATCH_RETURN(false)
}
