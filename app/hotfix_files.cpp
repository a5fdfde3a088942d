// File work of the hotfix: full paths for new and installed files, file
// version comparison and replacement of an installed library.
#include "hotfix.h"

#include "plx_handlers.h"
#include "plx_product_vls.h"
#include "plx_registry_expand.h"
#include "plx_system_library.h"

namespace {
const WCHAR* const kBackslash = TEXT("\\");

// A directory read from the registry, ready to take a file name: absolute,
// with the trailing backslash that an "InstallPath" may lack.  False for one
// that is empty or relative, which would name a place below the current directory.
bool usableDirectory(CPLXWCharString& szDirectory) {
    if (szDirectory.getLength() == 0 || !isAbsolutePath(szDirectory)) return false;
    if (!szDirectory.endsWith(CPLXWCharString(kBackslash))) szDirectory += CPLXWCharString(kBackslash);
    return true;
}

// The directory of the running executable with its trailing backslash.
bool getModuleDirectory(CPLXWCharString& szDirectory) {
    WCHAR szModule[MAX_PATH + 1] = {};
    DWORD dwLength = GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    if (dwLength == 0 || dwLength >= MAX_PATH)  // a cut path names some other place
        return false;
    CPLXWCharString szPath(szModule);
    ULONG ulPos = 0;
    if (!szPath.find(CPLXWCharString(kBackslash), 1, CPLXWCharString::pmFromEnd, ulPos)) return false;
    szDirectory = szPath.withoutLast(szPath.getLength() - ulPos - 1);
    return true;
}

typedef DWORD(WINAPI* GetFileVersionInfoSizeWProc)(LPCWSTR, LPDWORD);
typedef BOOL(WINAPI* GetFileVersionInfoWProc)(LPCWSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VerQueryValueWProc)(LPCVOID, LPCWSTR, LPVOID*, UINT*);
}  // namespace

bool isAbsolutePath(const CPLXWCharString& szPath) {
    return szPath.contains(CPLXWCharString(TEXT(":\\"))) || szPath.beginsWith(CPLXWCharString(TEXT("\\\\")));
}

bool getInstallDirectory(CPLXWCharString& szDirectory) {
    try {
        CPLXProduct_VLS product;
        CPLXWCharString szFound;
        if (!product.getInstallDirectory(szFound) || !usableDirectory(szFound)) return false;
        szDirectory = szFound;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool getInstallDirectory64(CPLXWCharString& szDirectory) {
    try {
        // A 32-bit process reads the 64-bit view only when it asks for it.
        CPLXRegistryString installPath(HKEY_LOCAL_MACHINE, CPLXWCharString(PLX_VLS_REGISTRY_KEY),
                                       CPLXWCharString(TEXT("InstallPath")), KEY_READ, false, 0);
        installPath.setAccess(KEY_READ | KEY_WOW64_64KEY);
        CPLXWCharString szFound;
        if (!installPath.getValue(szFound, false)) return false;
        if (installPath.getType() == REG_EXPAND_SZ && !CPLXRegistryStringExpand::expand(szFound, szFound)) return false;
        if (!usableDirectory(szFound)) return false;
        szDirectory = szFound;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool resolveSourcePath(const CPLXWCharString& szName, CPLXWCharString& szPath) {
    try {
        if (isAbsolutePath(szName)) {
            szPath = szName;
            return true;
        }
        CPLXWCharString szDirectory;
        if (!getModuleDirectory(szDirectory)) {
            WCHAR szCurrent[MAX_PATH + 1] = {};
            DWORD dwLength = GetCurrentDirectoryW(MAX_PATH, szCurrent);
            if (dwLength >= MAX_PATH) szCurrent[0] = 0;
            szDirectory = szCurrent;
            // The current directory comes without its trailing backslash.
            if (szDirectory.getLength() > 0 && !szDirectory.endsWith(CPLXWCharString(kBackslash)))
                szDirectory += CPLXWCharString(kBackslash);
        }
        szPath = szDirectory + szName;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool resolveInstallPath(CPLXWCharString& szPath, const CPLXWCharString& szName) {
    try {
        if (isAbsolutePath(szName)) {
            szPath = szName;
            return true;
        }
        CPLXWCharString szDirectory;
        szPath = getInstallDirectory(szDirectory) ? szDirectory + szName : szName;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool getFileVersion(const CPLXWCharString& szPath, DWORD& dwVersionMS, DWORD& dwVersionLS) {
    try {
        // version.dll is taken from the system directory only, never imported.
        CPLXSystemLibrary version(TEXT("version.dll"));
        GetFileVersionInfoSizeWProc pGetSize = version.getProc<GetFileVersionInfoSizeWProc>("GetFileVersionInfoSizeW");
        GetFileVersionInfoWProc pGetInfo = version.getProc<GetFileVersionInfoWProc>("GetFileVersionInfoW");
        VerQueryValueWProc pQuery = version.getProc<VerQueryValueWProc>("VerQueryValueW");
        if (pGetSize == nullptr || pGetInfo == nullptr || pQuery == nullptr) return false;

        DWORD dwHandle = 0;
        DWORD dwSize = pGetSize(szPath.c_str(), &dwHandle);
        if (dwSize == 0) return false;
        CPLXBuffer<unsigned char> block;
        if (!block.allocate(dwSize) || !pGetInfo(szPath.c_str(), dwHandle, dwSize, block.getBuffer())) return false;
        LPVOID pFixed = nullptr;
        UINT uLength = 0;
        if (!pQuery(block.getBuffer(), TEXT("\\"), &pFixed, &uLength) || pFixed == nullptr ||
            uLength < sizeof(VS_FIXEDFILEINFO))
            return false;
        const VS_FIXEDFILEINFO* pInfo = static_cast<const VS_FIXEDFILEINFO*>(pFixed);
        dwVersionMS = pInfo->dwFileVersionMS;
        dwVersionLS = pInfo->dwFileVersionLS;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

int compareFileVersions(const PackageLibrary& library) {
    try {
        DWORD dwOldMS = 0, dwOldLS = 0;
        if (!getFileVersion(library.szTarget, dwOldMS, dwOldLS)) return FILE_VERSION_UNKNOWN;
        const DWORD dwNewMS = library.dwVersionMS, dwNewLS = library.dwVersionLS;
        if ((dwNewMS == 0 && dwNewLS == 0) || (dwOldMS == 0 && dwOldLS == 0)) return FILE_VERSION_UNKNOWN;
        if (dwNewMS != dwOldMS) return dwNewMS < dwOldMS ? FILE_VERSION_OLDER : FILE_VERSION_NEWER;
        if (dwNewLS != dwOldLS) return dwNewLS < dwOldLS ? FILE_VERSION_OLDER : FILE_VERSION_NEWER;
        return FILE_VERSION_SAME;
    }
    PLX_CATCH_RETURN(FILE_VERSION_UNKNOWN)
}

bool reportFailedUpdate(const CPLXWCharString& szTarget) {
    try {
        CPLXWCharString szFailure;
        loadMessageText(IDS_UPDATE_FAILED, szFailure);
        szFailure.replace(CPLXWCharString(TEXT("%s")), szTarget, 1, CPLXWCharString::ssmOccur);
        showMessage(IDS_UNKNOWN_FAILURE, MB_OK, IDOK);
        appendPatchLog(szFailure);
    }
    PLX_CATCH_ALL_SWALLOW
    return false;
}

namespace {
// What is installed under a library's name.
enum InstalledState {
    isAbsent,  // nothing
    isKept,    // a library, or a file that could not be read: kept as ".bak"
    isBroken   // a file that is no whole library (cut short by a crash): not worth keeping
};

InstalledState installedState(const CPLXWCharString& szPath) {
    CPLXBuffer<unsigned char> bytes;
    WORD wMachine = 0;
    if (readFileBytes(szPath, bytes)) return isWholeLibrary(bytes, wMachine) ? isKept : isBroken;
    return GetLastError() == ERROR_FILE_NOT_FOUND ? isAbsent : isKept;
}

// Puts the installed library back from its ".bak" name: moved, or when that
// fails, copied (the ".bak" then stays beside it).
void restoreBackup(const CPLXWCharString& szTarget, const CPLXWCharString& szBackup) {
    if (!MoveFileExW(szBackup.c_str(), szTarget.c_str(), MOVEFILE_REPLACE_EXISTING))
        CopyFileW(szBackup.c_str(), szTarget.c_str(), FALSE);
}
}  // namespace

// The new library is copied beside the installed one under a name of its own
// and checked there, so that nothing but a whole library that is exactly the
// checked one ever takes the library's name, and a crash at any point leaves
// either library whole under it.  The installed one is renamed, never written
// over: the browser may have it loaded, which Windows allows only for renames.
bool replaceFile(const PackageLibrary& library) {
    try {
        const CPLXWCharString& szTarget = library.szTarget;
        const CPLXWCharString szBackup = szTarget + CPLXWCharString(TEXT(".bak"));
        // The same name every run: a copy left by a run that was stopped is reused.
        const CPLXWCharString szNew = szTarget + CPLXWCharString(TEXT(".new"));

        if (!CopyFileW(library.szSource.c_str(), szNew.c_str(), FALSE) || !holdsLibrary(szNew, library)) {
            DeleteFileW(szNew.c_str());
            return reportFailedUpdate(szTarget);
        }

        // A whole ".bak" is never replaced by a broken file, which is replaced where it is.
        const InstalledState state = installedState(szTarget);
        bool bBackedUp = false;
        if (state == isKept) {
            bBackedUp = MoveFileExW(szTarget.c_str(), szBackup.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
            if (!bBackedUp && GetLastError() != ERROR_FILE_NOT_FOUND) {
                // Without its backup the installed library is not overwritten.
                DeleteFileW(szNew.c_str());
                return reportFailedUpdate(szTarget);
            }
        }
        // Never over a library that was not moved aside.
        if (!MoveFileExW(szNew.c_str(), szTarget.c_str(), state == isBroken ? MOVEFILE_REPLACE_EXISTING : 0)) {
            if (bBackedUp) restoreBackup(szTarget, szBackup);
            DeleteFileW(szNew.c_str());
            return reportFailedUpdate(szTarget);
        }

        DWORD dwMS = 0, dwLS = 0;
        if (!getFileVersion(szTarget, dwMS, dwLS) || dwMS != library.dwVersionMS || dwLS != library.dwVersionLS) {
            // What was there comes back; where nothing was, nothing stays.
            if (bBackedUp || state == isBroken)
                restoreBackup(szTarget, szBackup);
            else
                DeleteFileW(szTarget.c_str());
            return reportFailedUpdate(szTarget);
        }
        return true;
    }
    PLX_CATCH_RETURN(false)
}
