// File work of the hotfix: full paths for new and installed files, file
// version comparison and replacement of an installed library.
#include "hotfix.h"
#include "hotfix_system_dll.h"

#include "plx_buffer.h"
#include "plx_handlers.h"
#include "plx_product_vls.h"

namespace {
const WCHAR* const kBackslash = TEXT("\\");

bool isAbsolutePath(const CPLXWCharString& szPath)
{
    return szPath.contains(CPLXWCharString(TEXT(":\\")));
}

// The directory of the running executable with its trailing backslash.
bool getModuleDirectory(CPLXWCharString& szDirectory)
{
    WCHAR szModule[MAX_PATH + 1] = {};
    DWORD dwLength = GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    if (dwLength == 0 || dwLength >= MAX_PATH)  // a cut path names some other place
        return false;
    CPLXWCharString szPath(szModule);
    ULONG ulPos = 0;
    if (!szPath.find(CPLXWCharString(kBackslash), 1, CPLXWCharString::pmFromEnd, ulPos))
        return false;
    szDirectory = szPath.withoutLast(szPath.getLength() - ulPos - 1);
    return true;
}

typedef DWORD(WINAPI* GetFileVersionInfoSizeWProc)(LPCWSTR, LPDWORD);
typedef BOOL(WINAPI* GetFileVersionInfoWProc)(LPCWSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VerQueryValueWProc)(LPCVOID, LPCWSTR, LPVOID*, UINT*);
}  // namespace

bool resolveSourcePath(const CPLXWCharString& szName, CPLXWCharString& szPath)
{
    try {
        if (isAbsolutePath(szName)) {
            szPath = szName;
            return true;
        }
        CPLXWCharString szDirectory;
        if (!getModuleDirectory(szDirectory)) {
            WCHAR szCurrent[MAX_PATH + 1] = {};
            DWORD dwLength = GetCurrentDirectoryW(MAX_PATH, szCurrent);
            if (dwLength >= MAX_PATH)
                szCurrent[0] = 0;
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

bool resolveInstallPath(CPLXWCharString& szPath, const CPLXWCharString& szName)
{
    try {
        if (isAbsolutePath(szName)) {
            szPath = szName;
            return true;
        }
        CPLXProduct_VLS product;
        CPLXWCharString szDirectory;
        if (product.getInstallDirectory(szDirectory))
            szPath = szDirectory + szName;
        else
            szPath = szName;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool getFileVersion(const CPLXWCharString& szPath, DWORD& dwVersionMS, DWORD& dwVersionLS)
{
    try {
        // version.dll is taken from the system directory only, never imported.
        SystemLibrary version(TEXT("version.dll"));
        GetFileVersionInfoSizeWProc pGetSize =
            procAs<GetFileVersionInfoSizeWProc>(version.getProc("GetFileVersionInfoSizeW"));
        GetFileVersionInfoWProc pGetInfo = procAs<GetFileVersionInfoWProc>(version.getProc("GetFileVersionInfoW"));
        VerQueryValueWProc pQuery = procAs<VerQueryValueWProc>(version.getProc("VerQueryValueW"));
        if (pGetSize == nullptr || pGetInfo == nullptr || pQuery == nullptr)
            return false;

        DWORD dwHandle = 0;
        DWORD dwSize = pGetSize(szPath.c_str(), &dwHandle);
        if (dwSize == 0)
            return false;
        CPLXBuffer<unsigned char> block;
        if (!block.allocate(dwSize) || !pGetInfo(szPath.c_str(), dwHandle, dwSize, block.getBuffer()))
            return false;
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

int compareFileVersions(const CPLXWCharString& szNewFile, const CPLXWCharString& szInstalledFile)
{
    try {
        CPLXWCharString szInstalledPath;
        resolveInstallPath(szInstalledPath, szInstalledFile);
        DWORD dwNewMS = 0, dwNewLS = 0, dwOldMS = 0, dwOldLS = 0;
        if (!getFileVersion(szNewFile, dwNewMS, dwNewLS) || !getFileVersion(szInstalledPath, dwOldMS, dwOldLS))
            return FILE_VERSION_UNKNOWN;
        if ((dwNewMS == 0 && dwNewLS == 0) || (dwOldMS == 0 && dwOldLS == 0))
            return FILE_VERSION_UNKNOWN;
        if (dwNewMS != dwOldMS)
            return dwNewMS < dwOldMS ? FILE_VERSION_OLDER : FILE_VERSION_NEWER;
        if (dwNewLS != dwOldLS)
            return dwNewLS < dwOldLS ? FILE_VERSION_OLDER : FILE_VERSION_NEWER;
        return FILE_VERSION_SAME;
    }
    PLX_CATCH_RETURN(FILE_VERSION_UNKNOWN)
}

bool replaceFile(const CPLXWCharString& szSource, const CPLXWCharString& szDestination)
{
    bool bResult = true;
    try {
        CPLXWCharString szDestinationName(szDestination);
        if (szDestinationName.getLength() == 0 &&
            !szSource.parse(szDestinationName, CPLXWCharString(kBackslash), 1, CPLXWCharString::pmFromEnd, false))
            szDestinationName = szSource;

        CPLXWCharString szSourcePath, szDestinationPath;
        resolveSourcePath(szSource, szSourcePath);
        resolveInstallPath(szDestinationPath, szDestinationName);
        const CPLXWCharString szBackupPath = szDestinationPath + CPLXWCharString(TEXT(".bak"));

        // The installed library is kept as ".bak"; a missing one does not stop the copy.
        const bool bMoved =
            MoveFileExW(szDestinationPath.c_str(), szBackupPath.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        bResult = CopyFileW(szSourcePath.c_str(), szDestinationPath.c_str(), FALSE) != FALSE;
        if (!bResult) {
            // Put the installed library back so that the product keeps a working one:
            // when it cannot be moved back, a copy of it (the ".bak" stays).
            if (bMoved && !MoveFileExW(szBackupPath.c_str(), szDestinationPath.c_str(), MOVEFILE_REPLACE_EXISTING))
                CopyFileW(szBackupPath.c_str(), szDestinationPath.c_str(), FALSE);

            CPLXWCharString szFailure;
            loadMessageText(IDS_UPDATE_FAILED, szFailure);
            szFailure.replace(CPLXWCharString(TEXT("%s")), szDestinationPath, 1, CPLXWCharString::ssmOccur);
            showMessage(IDS_UNKNOWN_FAILURE, MB_OK, IDOK);
            appendPatchLog(szFailure);
        }
        return bResult;
    }
    PLX_CATCH_RETURN(bResult)
}
