// The library's exceptions and warnings.  Each is a log entry: created with
// "log now" it is written at once, then thrown by value and caught by
// reference.  Raising constructors take, in order: the message's format
// arguments; the error code (where not fixed); the class and operation name
// (where the class records them); source file; line; output mask; log now;
// log on destroy.  Raising sites pass PLX_SRC and PLX_LOG_NOW:
//
//     throw CPLXBadArgException(TEXT("ulPos"), TEXT("position is out of string bounds"), PLX_SRC, PLX_LOG_NOW);
#ifndef PLX_EXCEPTIONS_H
#define PLX_EXCEPTIONS_H

#include "plx_logging.h"
#include "plx_source.h"

// Text output, log now, never on destroy: the flags of every raising site.
#define PLX_LOG_NOW 0x01, true, false

// Messages are formatted into this many wide characters and cut there.
#define PLX_MESSAGE_SIZE 1024

// ---------------------------------------------------------------- bases

// Base of the library's errors (level EXCEPTION_BAD).
class CPLXLogException1 : public CPLXDetailedLog {
public:
    // Used directly for "GetPrivateProfileInt( ) failed." and
    // "Policy source is not supported."; the message is stored as it stands.
    CPLXLogException1(LPCWSTR szMessage, ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs,
                      bool bLogNow, bool bLogOnDestroy);

protected:
    CPLXLogException1(USHORT usOutputs, bool bLogOnDestroy);
    // Fills the record and writes it when bLogNow is set (keeping the last error).
    void raise(LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, LPCWSTR szClassName, LPCWSTR szMethodName,
               LPCWSTR szSourceFile, ULONG ulLine, bool bLogNow);
};

// Base of the library's warnings (level WARNING).
class CPLXLogWarning : public CPLXDetailedLog {
protected:
    CPLXLogWarning(USHORT usOutputs, bool bLogOnDestroy);
    void raise(LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, LPCWSTR szClassName, LPCWSTR szMethodName,
               LPCWSTR szSourceFile, ULONG ulLine, bool bLogNow);
};

// Formats a message as wsprintfW does into PLX_MESSAGE_SIZE characters,
// cutting longer results; null string arguments become "Unknown".
void plxFormatMessage(LPWSTR szOut, LPCWSTR szFormat, LPCWSTR szArg1, LPCWSTR szArg2 = nullptr);
void plxFormatMessageNumber(LPWSTR szOut, LPCWSTR szFormat, LONG lNumber, LPCWSTR szArg = nullptr);

// Declares a class raised with only source position and control values.
#define PLX_DECLARE_FIXED_EXCEPTION(name)                                                             \
    class name : public CPLXLogException1 {                                                           \
    public:                                                                                           \
        name(LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy); \
    }

// ---------------------------------------------------------------- memory and arguments

class CPLXMemAllocException : public CPLXLogException1 {
public:
    CPLXMemAllocException(LPCWSTR szVariable, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                          bool bLogOnDestroy);
};

// Output mask fixed 0x01, never written at once: a handler writes it, and
// its destruction again when bLogOnDestroy is set.
class CPLXMemoryCopyException : public CPLXLogException1 {
public:
    CPLXMemoryCopyException(ULONG ulErrno, LPCWSTR szSourceFile, ULONG ulLine, bool bLogOnDestroy);
};

class CPLXBufferInitException : public CPLXLogException1 {
public:
    CPLXBufferInitException(LPCWSTR szSourceFile, ULONG ulLine, bool bLogOnDestroy);
};

class CPLXBadArgException : public CPLXLogException1 {
public:
    CPLXBadArgException(LPCWSTR szParameter, LPCWSTR szExplanation, LPCWSTR szSourceFile, ULONG ulLine,
                        USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

PLX_DECLARE_FIXED_EXCEPTION(CPLXIndexOutOfBoundsException);

// Built by catch-all handlers with errno or the last error.
class CPLXUnhandledExceptionException : public CPLXLogException1 {
public:
    CPLXUnhandledExceptionException(ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                                    bool bLogOnDestroy);
};

// ---------------------------------------------------------------- registry

PLX_DECLARE_FIXED_EXCEPTION(CPLXRegKeyInitException);

class CPLXRegValueSetException : public CPLXLogException1 {
public:
    CPLXRegValueSetException(LPCWSTR szKeyPath, LPCWSTR szValueName, ULONG ulCode, LPCWSTR szClassName,
                             LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                             bool bLogOnDestroy);
};

// Registry failures that name the key and the raising class and operation.
#define PLX_DECLARE_KEY_NAMES_EXCEPTION(name)                                                                  \
    class name : public CPLXLogException1 {                                                                    \
    public:                                                                                                    \
        name(LPCWSTR szKeyPath, ULONG ulCode, LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, \
             ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);                                \
    }

PLX_DECLARE_KEY_NAMES_EXCEPTION(CPLXRegEnumKeyException);
PLX_DECLARE_KEY_NAMES_EXCEPTION(CPLXRegEnumValueException);
PLX_DECLARE_KEY_NAMES_EXCEPTION(CPLXRegKeyCreateException);
PLX_DECLARE_KEY_NAMES_EXCEPTION(CPLXRegSaveKeyException);
PLX_DECLARE_KEY_NAMES_EXCEPTION(CPLXRegRestoreKeyException);

// Failures that name one object and carry a Windows error.
#define PLX_DECLARE_NAME_CODE_EXCEPTION(name)                                                                  \
    class name : public CPLXLogException1 {                                                                    \
    public:                                                                                                    \
        name(LPCWSTR szName, ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow, \
             bool bLogOnDestroy);                                                                              \
    }

PLX_DECLARE_NAME_CODE_EXCEPTION(CPLXRegQueryInfoKeyException);
PLX_DECLARE_NAME_CODE_EXCEPTION(CPLXRegQueryMultipleValuesException);

// ---------------------------------------------------------------- system utilities

PLX_DECLARE_FIXED_EXCEPTION(CPLXUnknownVariableNameException);
PLX_DECLARE_NAME_CODE_EXCEPTION(CPLXOpenProcessTokenException);       // handle name
PLX_DECLARE_NAME_CODE_EXCEPTION(CPLXLookupPrivilegeValueException);   // privilege name
PLX_DECLARE_NAME_CODE_EXCEPTION(CPLXAdjustTokenPrivilegesException);  // handle name

class CPLXWritePrivateProfileStringException : public CPLXLogException1 {
public:
    CPLXWritePrivateProfileStringException(LPCWSTR szSection, LPCWSTR szKeyName, ULONG ulCode, LPCWSTR szSourceFile,
                                           ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

PLX_DECLARE_NAME_CODE_EXCEPTION(CPLXWritePrivateProfileSectionException);  // section

PLX_DECLARE_FIXED_EXCEPTION(CPLXDirectoryInitException);
PLX_DECLARE_FIXED_EXCEPTION(CPLXWindowsOSInfoInitNeededException);

// The code is the shell's error code; the message shows it as well.
class CPLXSIgetStoragePathException : public CPLXLogException1 {
public:
    CPLXSIgetStoragePathException(LPCWSTR szFolderName, ULONG ulCode, LPCWSTR szClassName, LPCWSTR szMethodName,
                                  LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                                  bool bLogOnDestroy);
};

// ---------------------------------------------------------------- message box and resources

class CPLXLoadStringException : public CPLXLogException1 {
public:
    CPLXLoadStringException(UINT uStringId, LPCWSTR szResourceDll, ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine,
                            USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

class CPLXMessageBoxInitException : public CPLXLogException1 {
public:
    CPLXMessageBoxInitException(ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                                bool bLogOnDestroy);
};

// ---------------------------------------------------------------- warnings

class CMemDestroyFailWarning : public CPLXLogWarning {
public:
    CMemDestroyFailWarning(LPCWSTR szVariable, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                           bool bLogOnDestroy);
};

class CCloseHandleWarning : public CPLXLogWarning {
public:
    CCloseHandleWarning(LPCWSTR szHandleName, ULONG ulCode, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs,
                        bool bLogNow, bool bLogOnDestroy);
};

class CPLXRegCloseKeyWarning : public CPLXLogWarning {
public:
    CPLXRegCloseKeyWarning(LPCWSTR szKeyPath, ULONG ulCode, LPCWSTR szClassName, LPCWSTR szMethodName,
                           LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

class CPLXRegKeyAlreadyOpenWarning : public CPLXLogWarning {
public:
    CPLXRegKeyAlreadyOpenWarning(LPCWSTR szKeyPath, LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile,
                                 ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

// A profile read that filled its whole buffer: the data may be cut, so it is not used.
class CPLXProfileCutWarning : public CPLXLogWarning {
public:
    CPLXProfileCutWarning(LPCWSTR szSection, LPCWSTR szKeyName, ULONG ulBufferUnits, LPCWSTR szSourceFile, ULONG ulLine,
                          USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

// A profile section written with more lines than one read takes: it cannot be read back whole.
class CPLXProfileSectionTooLargeWarning : public CPLXLogWarning {
public:
    CPLXProfileSectionTooLargeWarning(LPCWSTR szSection, ULONG ulReadUnits, LPCWSTR szSourceFile, ULONG ulLine,
                                      USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

class CPLXGetPolicySettingWarning : public CPLXLogWarning {
public:
    CPLXGetPolicySettingWarning(ULONG ulSettingId, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow,
                                bool bLogOnDestroy);
};

#endif
