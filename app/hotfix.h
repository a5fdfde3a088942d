// The hotfix installer's own functions: entry, gate checks, messages, the
// patch procedure, file work, the patch record and the patch log.
#ifndef HOTFIX_H
#define HOTFIX_H

#include "plx_buffer.h"
#include "plx_dbllist.h"
#include "plx_wchar_string.h"
#include "plx_win32.h"

// String table of the executable (plxhotfix.rc).
enum HotfixStringId {
    IDS_OS_MISMATCH = 1120,
    IDS_UPDATE_FAILED = 1121,
    IDS_VERSION_MISMATCH = 1130,
    IDS_CAPTION = 1140,
    IDS_RESTART = 1160,
    IDS_ALREADY_INSTALLED = 1170,
    IDS_NOT_INSTALLED = 1180,
    IDS_UNKNOWN_FAILURE = 1200
};

// Outcomes of the gate checks, shown by showOutcome.
enum HotfixOutcome {
    hoOSMismatch = 1,
    hoVersionMismatch = 2,
    hoAlreadyInstalled = 3,
    hoNotInstalled = 4,
    hoInstalled = 5,
    hoFailure = 6
};

// Platform codes handed to applyPatch (the reverse of CPLXWindowsOSInfo::getPlatform).
const DWORD PLATFORM_PATCH_X64 = 1;
const DWORD PLATFORM_PATCH_X86 = 2;

// osKind values of PlatformInfo.
const DWORD OS_KIND_OTHER = 0;
const DWORD OS_KIND_VISTA = 1;
const DWORD OS_KIND_XP = 2;
const DWORD OS_KIND_WIN7 = 3;

// Results of compareFileVersions: how the new file stands to the installed one.
const int FILE_VERSION_OLDER = -1;
const int FILE_VERSION_SAME = 0;
const int FILE_VERSION_NEWER = 1;
const int FILE_VERSION_UNKNOWN = 2;

// Texts are loaded into buffers of this many characters, terminator included.
const int HOTFIX_MESSAGE_CHARS = 300;

struct PlatformInfo {
    DWORD osKind = OS_KIND_OTHER;
    DWORD platformCode = 0;
};

struct VersionInfo {
    CPLXWCharString versionText;
    DWORD majorMinor = 0;
    DWORD build = 0;
    // Both numbers were read from decimal parts of versionText.
    bool numbersRead = false;
};

// One library of the package and the installed library it replaces.  The
// package's file is read and checked before anything changes, and what is
// copied into place must be exactly what was checked.
struct PackageLibrary {
    const WCHAR* szName = nullptr;  // file name in the package
    WORD wMachine = 0;              // IMAGE_FILE_MACHINE_I386 or IMAGE_FILE_MACHINE_AMD64
    CPLXWCharString szTarget;       // full path of the installed library
    // Filled by checkPackageLibrary:
    CPLXWCharString szSource;  // full path of the package's file
    CPLXBuffer<unsigned char> bytes;
    DWORD dwVersionMS = 0;
    DWORD dwVersionLS = 0;
};

extern bool g_silentMode;
extern CPLXWCharString g_patchLogName;

// Messages (hotfix_messages.cpp).
bool loadMessageText(UINT uId, CPLXWCharString& szText);
int showOutcome(ULONG ulOutcome, UINT uType, int iDefault);
int showMessage(UINT uId, UINT uType, int iDefault);
int showMessageText(const CPLXWCharString& szCaption, const CPLXWCharString& szText, UINT uType, int iDefault);

// Gate checks (hotfix_main.cpp).
bool isSilentCommandLine(const CPLXWCharString& szCommandLine);
bool isProductInstalled();
bool getPlatformInfo(PlatformInfo& info);
bool getVersionInfo(VersionInfo& info);

// Patch procedure (hotfix_patch.cpp).
void applyPatch(DWORD dwPlatformCode);
bool promptRestart();

// Files (hotfix_files.cpp).
// A path with a drive ("C:\...") or a UNC or device path ("\\server\share\...").
bool isAbsolutePath(const CPLXWCharString& szPath);
// The product's installation directory as the host product lookup finds it,
// or as the 64-bit registry view names it: absolute and ending in a
// backslash, ready to take a file name.  False when there is none such.
bool getInstallDirectory(CPLXWCharString& szDirectory);
bool getInstallDirectory64(CPLXWCharString& szDirectory);
bool resolveSourcePath(const CPLXWCharString& szName, CPLXWCharString& szPath);
bool resolveInstallPath(CPLXWCharString& szPath, const CPLXWCharString& szName);
bool getFileVersion(const CPLXWCharString& szPath, DWORD& dwVersionMS, DWORD& dwVersionLS);
// How the checked package library stands to the installed one.
int compareFileVersions(const PackageLibrary& library);
// Puts the checked package library in place of the installed one, which is
// kept as ".bak"; reports a failure (message 1200 and the 1121 line).
bool replaceFile(const PackageLibrary& library);
// Message 1200 and "Failed to update file <szTarget>" in the patch log; false.
bool reportFailedUpdate(const CPLXWCharString& szTarget);

// The package's libraries (hotfix_library.cpp).
// The whole content of a file of at most 256 MB.
bool readFileBytes(const CPLXWCharString& szPath, CPLXBuffer<unsigned char>& bytes);
// Whether bytes are a whole DLL of i386 or AMD64 code (its machine in
// wMachine): every header, section and an appended signature within them.
bool isWholeLibrary(const CPLXBuffer<unsigned char>& bytes, WORD& wMachine);
// Reads library.szName from the installer's directory; true when it is a whole
// library of library.wMachine with a readable version other than 0.0.0.0.
bool checkPackageLibrary(PackageLibrary& library);
// Whether the file at szPath holds exactly the checked library and reads its version.
bool holdsLibrary(const CPLXWCharString& szPath, const PackageLibrary& library);

// Patch record and patch log (hotfix_record.cpp).
bool isPatchRecorded();
// Whether the record of this hotfix holds its description and file list.
bool isPatchRecordComplete(const CPLXWCharString& szDescription, const CPLXDblList<CPLXWCharString>& lFiles);
int writePatchRecord(const CPLXWCharString& szDescription, const CPLXDblList<CPLXWCharString>& lFiles);
int appendPatchLog(CPLXWCharString& szLine);

#endif
