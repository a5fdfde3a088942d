#include "plx_exceptions.h"

namespace {

const int ARG_MAX = PLX_MESSAGE_SIZE - 1;
// Room for any format of this file with two arguments of ARG_MAX characters.
const int WIDE_BUFFER = 4 * PLX_MESSAGE_SIZE;

LPCWSTR orUnknown(LPCWSTR szText) { return szText != nullptr ? szText : TEXT("Unknown"); }

// A string argument cut to what can appear in a message.
class CMessageArg {
public:
    explicit CMessageArg(LPCWSTR szText) { lstrcpynW(m_szText, orUnknown(szText), ARG_MAX + 1); }
    LPCWSTR get() const { return m_szText; }

private:
    WCHAR m_szText[ARG_MAX + 1];
};

// Keeps the first PLX_MESSAGE_SIZE - 1 characters of a formatted text.
void keepMessage(LPWSTR szOut, LPCWSTR szFormatted) { lstrcpynW(szOut, szFormatted, PLX_MESSAGE_SIZE); }

// The C++ runtime's first throw in a process can reset the thread's last
// error (seen with MinGW's runtime on Windows).  Throwing once during start-up
// keeps the first library exception from changing it.
const bool s_bThrowReady = []() {
    DWORD ulLastError = GetLastError();
    try {
        throw 0;
    } catch (int) {
    }
    SetLastError(ulLastError);
    return true;
}();

}  // namespace

void plxFormatMessage(LPWSTR szOut, LPCWSTR szFormat, LPCWSTR szArg1, LPCWSTR szArg2) {
    CMessageArg arg1(szArg1);
    CMessageArg arg2(szArg2);
    WCHAR szFormatted[WIDE_BUFFER];
    szFormatted[0] = 0;
    wsprintfW(szFormatted, szFormat, arg1.get(), arg2.get());
    keepMessage(szOut, szFormatted);
}

void plxFormatMessageNumber(LPWSTR szOut, LPCWSTR szFormat, LONG lNumber, LPCWSTR szArg) {
    CMessageArg arg(szArg);
    WCHAR szFormatted[WIDE_BUFFER];
    szFormatted[0] = 0;
    wsprintfW(szFormatted, szFormat, static_cast<int>(lNumber), arg.get());
    keepMessage(szOut, szFormatted);
}

// ---------------------------------------------------------------- bases

CPLXLogException1::CPLXLogException1(LPCWSTR szMessage, ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine,
                                     USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXDetailedLog(usOutputs, bLogOnDestroy) {
    raise(szMessage, ulCode, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

CPLXLogException1::CPLXLogException1(USHORT usOutputs, bool bLogOnDestroy)
    : CPLXDetailedLog(usOutputs, bLogOnDestroy) {}

void CPLXLogException1::raise(LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, LPCWSTR szClassName,
                              LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine, bool bLogNow) {
    fillRecord(PLX_LEVEL_EXCEPTION_BAD, szMessage, ulCode, ulResultKind, szClassName, szMethodName, szSourceFile,
               ulLine, bLogNow);
}

CPLXLogWarning::CPLXLogWarning(USHORT usOutputs, bool bLogOnDestroy) : CPLXDetailedLog(usOutputs, bLogOnDestroy) {}

void CPLXLogWarning::raise(LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, LPCWSTR szClassName,
                           LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine, bool bLogNow) {
    fillRecord(PLX_LEVEL_WARNING, szMessage, ulCode, ulResultKind, szClassName, szMethodName, szSourceFile, ulLine,
               bLogNow);
}

// Classes whose message has no arguments and whose code is fixed.
#define PLX_DEFINE_FIXED_EXCEPTION(name, message)                                                      \
    name::name(LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy) \
        : CPLXLogException1(usOutputs, bLogOnDestroy) {                                                \
        raise(message, PLX_NO_CODE, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);     \
    }

#define PLX_DEFINE_KEY_NAMES_EXCEPTION(name, format, kind)                                                       \
    name::name(LPCWSTR szKeyPath, ULONG ulCode, LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, \
               ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)                                 \
        : CPLXLogException1(usOutputs, bLogOnDestroy) {                                                          \
        WCHAR szMessage[PLX_MESSAGE_SIZE];                                                                       \
        plxFormatMessage(szMessage, format, szKeyPath);                                                          \
        raise(szMessage, ulCode, kind, szClassName, szMethodName, szSourceFile, ulLine, bLogNow);                \
    }

#define PLX_DEFINE_NAME_CODE_EXCEPTION(name, format, kind)                                                       \
    name::name(LPCWSTR szName, ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow, \
               bool bLogOnDestroy)                                                                               \
        : CPLXLogException1(usOutputs, bLogOnDestroy) {                                                          \
        WCHAR szMessage[PLX_MESSAGE_SIZE];                                                                       \
        plxFormatMessage(szMessage, format, szName);                                                             \
        raise(szMessage, ulCode, kind, nullptr, nullptr, szSourceFile, ulLine, bLogNow);                         \
    }

// ---------------------------------------------------------------- memory and arguments

CPLXMemAllocException::CPLXMemAllocException(LPCWSTR szVariable, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs,
                                             bool bLogNow, bool bLogOnDestroy)
    : CPLXLogException1(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("Unable to allocate memory ( %s )"), szVariable);
    raise(szMessage, PLX_NO_CODE, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

CPLXMemoryCopyException::CPLXMemoryCopyException(ULONG ulErrno, LPCWSTR szSourceFile, ULONG ulLine, bool bLogOnDestroy)
    : CPLXLogException1(PLX_OUTPUT_TEXT, bLogOnDestroy) {
    raise(TEXT("memcpy() function failed"), ulErrno, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, false);
}

CPLXBufferInitException::CPLXBufferInitException(LPCWSTR szSourceFile, ULONG ulLine, bool bLogOnDestroy)
    : CPLXLogException1(PLX_OUTPUT_TEXT, bLogOnDestroy) {
    raise(TEXT("Unable to initialize CPLXBuffer"), PLX_NO_CODE, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine,
          false);
}

CPLXBadArgException::CPLXBadArgException(LPCWSTR szParameter, LPCWSTR szExplanation, LPCWSTR szSourceFile, ULONG ulLine,
                                         USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogException1(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("A bad argument was provided ( %s ). %s"), szParameter, szExplanation);
    raise(szMessage, 0, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

PLX_DEFINE_FIXED_EXCEPTION(CPLXIndexOutOfBoundsException, TEXT("Index out of array bounds"))

CPLXUnhandledExceptionException::CPLXUnhandledExceptionException(ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine,
                                                                 USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogException1(usOutputs, bLogOnDestroy) {
    raise(TEXT("An unhandled exception occurred"), ulCode, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine,
          bLogNow);
}

// ---------------------------------------------------------------- registry

PLX_DEFINE_FIXED_EXCEPTION(CPLXRegKeyInitException, TEXT("CPLXRegistryKey object failed to initialize"))

CPLXRegValueSetException::CPLXRegValueSetException(LPCWSTR szKeyPath, LPCWSTR szValueName, ULONG ulCode,
                                                   LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile,
                                                   ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogException1(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("Unable to Set registry value ( \"%s\\%s\" )"), szKeyPath, szValueName);
    raise(szMessage, ulCode, rkSuccess, szClassName, szMethodName, szSourceFile, ulLine, bLogNow);
}

PLX_DEFINE_KEY_NAMES_EXCEPTION(CPLXRegEnumKeyException, TEXT("Unable to enumerate subkeys from key ( \"%s\" )"),
                               rkErrorCode)
PLX_DEFINE_KEY_NAMES_EXCEPTION(CPLXRegEnumValueException, TEXT("Unable to enumerate values from key ( \"%s\" )"),
                               rkErrorCode)
PLX_DEFINE_KEY_NAMES_EXCEPTION(CPLXRegKeyCreateException, TEXT("Unable to create registry key ( \"%s\" )"), rkSuccess)
PLX_DEFINE_KEY_NAMES_EXCEPTION(CPLXRegSaveKeyException, TEXT("Unable to save registry key ( \"%s\" )"), rkSuccess)
PLX_DEFINE_KEY_NAMES_EXCEPTION(CPLXRegRestoreKeyException, TEXT("Unable to load registry key ( \"%s\" )"), rkSuccess)
PLX_DEFINE_NAME_CODE_EXCEPTION(CPLXRegQueryInfoKeyException, TEXT("Unable to query info on registry key ( \"%s\" )"),
                               rkSuccess)
PLX_DEFINE_NAME_CODE_EXCEPTION(CPLXRegQueryMultipleValuesException,
                               TEXT("Unable to query multiple values from registry key ( \"%s\" )"), rkSuccess)

// ---------------------------------------------------------------- system utilities

PLX_DEFINE_FIXED_EXCEPTION(CPLXUnknownVariableNameException,
                           TEXT("The environment variable name has not been initialized"))
PLX_DEFINE_NAME_CODE_EXCEPTION(CPLXOpenProcessTokenException, TEXT("OpenProcessToken call failed for handle:%s"),
                               rkErrorCode)
PLX_DEFINE_NAME_CODE_EXCEPTION(CPLXLookupPrivilegeValueException,
                               TEXT("LookupPrivilegeValue call failed for privilege:%s"), rkErrorCode)
PLX_DEFINE_NAME_CODE_EXCEPTION(CPLXAdjustTokenPrivilegesException,
                               TEXT("AdjustTokenPrivileges call failed for handle:%s"), rkErrorCode)

CPLXWritePrivateProfileStringException::CPLXWritePrivateProfileStringException(LPCWSTR szSection, LPCWSTR szKeyName,
                                                                               ULONG ulCode, LPCWSTR szSourceFile,
                                                                               ULONG ulLine, USHORT usOutputs,
                                                                               bool bLogNow, bool bLogOnDestroy)
    : CPLXLogException1(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("Unable to write profile string ( section: %s, key name: %s )"), szSection,
                     szKeyName);
    raise(szMessage, ulCode, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

PLX_DEFINE_NAME_CODE_EXCEPTION(CPLXWritePrivateProfileSectionException,
                               TEXT("Unable to write profile section ( section: %s )"), rkErrorCode)

PLX_DEFINE_FIXED_EXCEPTION(CPLXDirectoryInitException, TEXT("CPLXDirectory object failed to initialize"))
PLX_DEFINE_FIXED_EXCEPTION(CPLXWindowsOSInfoInitNeededException,
                           TEXT("CPLXWindowsOSInfo construction failed. Cannot call member functions."))

CPLXSIgetStoragePathException::CPLXSIgetStoragePathException(LPCWSTR szFolderName, ULONG ulCode, LPCWSTR szClassName,
                                                             LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine,
                                                             USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogException1(usOutputs, bLogOnDestroy) {
    // The reason by the shell's code: E_FAIL (or S_FALSE) and E_INVALIDARG have their own words.
    WCHAR szShellError[PLX_MESSAGE_SIZE];
    if (ulCode == 0x80004005UL || ulCode == 1)
        plxFormatMessage(szShellError, TEXT("Path does not exist."), nullptr);
    else if (ulCode == 0x80070057UL)
        plxFormatMessage(szShellError, TEXT("Shell folder does not exist."), nullptr);
    else
        plxFormatMessageNumber(szShellError, TEXT("Shell folder error %d."), static_cast<LONG>(ulCode));
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("Unable to obtain Windows shell folder path for folder ( \"%s\" ).  %s"),
                     szFolderName, szShellError);
    raise(szMessage, ulCode, rkErrorCode, szClassName, szMethodName, szSourceFile, ulLine, bLogNow);
}

// ---------------------------------------------------------------- message box and resources

CPLXLoadStringException::CPLXLoadStringException(UINT uStringId, LPCWSTR szResourceDll, ULONG ulCode,
                                                 LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                                                 bool bLogOnDestroy)
    : CPLXLogException1(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessageNumber(szMessage, TEXT("Unable to load string ( ID: %d ) from resource DLL ( %s )"),
                           static_cast<LONG>(uStringId),
                           szResourceDll != nullptr ? szResourceDll : TEXT("Unknown resource DLL"));
    raise(szMessage, ulCode, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

CPLXMessageBoxInitException::CPLXMessageBoxInitException(ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine,
                                                         USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogException1(usOutputs, bLogOnDestroy) {
    raise(TEXT("Unable to initialize message box"), ulCode, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine,
          bLogNow);
}

// ---------------------------------------------------------------- warnings

CMemDestroyFailWarning::CMemDestroyFailWarning(LPCWSTR szVariable, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs,
                                               bool bLogNow, bool bLogOnDestroy)
    : CPLXLogWarning(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("Unable to free memory ( %s )"), szVariable);
    raise(szMessage, PLX_NO_CODE, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

CCloseHandleWarning::CCloseHandleWarning(LPCWSTR szHandleName, ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine,
                                         USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogWarning(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("Unable to free memory ( %s )"), szHandleName);
    raise(szMessage, ulCode, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

CPLXRegCloseKeyWarning::CPLXRegCloseKeyWarning(LPCWSTR szKeyPath, ULONG ulCode, LPCWSTR szClassName,
                                               LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine,
                                               USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogWarning(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("Unable to close registry key ( %s )"), szKeyPath);
    raise(szMessage, ulCode, rkErrorCode, szClassName, szMethodName, szSourceFile, ulLine, bLogNow);
}

CPLXRegKeyAlreadyOpenWarning::CPLXRegKeyAlreadyOpenWarning(LPCWSTR szKeyPath, LPCWSTR szClassName, LPCWSTR szMethodName,
                                                           LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs,
                                                           bool bLogNow, bool bLogOnDestroy)
    : CPLXLogWarning(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessage(szMessage, TEXT("Registry key is already open ( %s )"), szKeyPath);
    raise(szMessage, PLX_NO_CODE, rkSuccess, szClassName, szMethodName, szSourceFile, ulLine, bLogNow);
}

CPLXProfileCutWarning::CPLXProfileCutWarning(LPCWSTR szSection, LPCWSTR szKeyName, ULONG ulBufferUnits,
                                             LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                                             bool bLogOnDestroy)
    : CPLXLogWarning(usOutputs, bLogOnDestroy) {
    WCHAR szNames[PLX_MESSAGE_SIZE];
    plxFormatMessage(szNames, TEXT("section: %s, key name: %s"), szSection, szKeyName);
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessageNumber(szMessage, TEXT("Profile data may be cut at %d characters and is not used ( %s )"),
                           static_cast<LONG>(ulBufferUnits), szNames);
    raise(szMessage, 0, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

CPLXProfileSectionTooLargeWarning::CPLXProfileSectionTooLargeWarning(LPCWSTR szSection, ULONG ulReadUnits,
                                                                     LPCWSTR szSourceFile, ULONG ulLine,
                                                                     USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogWarning(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessageNumber(szMessage,
                           TEXT("Profile section exceeds the %d characters of one read and cannot be read back whole "
                                "( section: %s )"),
                           static_cast<LONG>(ulReadUnits), szSection);
    raise(szMessage, 0, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}

CPLXGetPolicySettingWarning::CPLXGetPolicySettingWarning(ULONG ulSettingId, LPCWSTR szSourceFile, ULONG ulLine,
                                                         USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXLogWarning(usOutputs, bLogOnDestroy) {
    WCHAR szMessage[PLX_MESSAGE_SIZE];
    plxFormatMessageNumber(szMessage, TEXT("Could not find policy setting with ID ( %d )"),
                           static_cast<LONG>(ulSettingId));
    raise(szMessage, 0, rkErrorCode, nullptr, nullptr, szSourceFile, ulLine, bLogNow);
}
