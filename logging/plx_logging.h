// Log entries: every exception, warning, method trace, debug record and
// notification of the library is one.  An entry filters itself against the
// registry settings and hands its record to the outputs of its output mask.
#ifndef PLX_LOGGING_H
#define PLX_LOGGING_H

#include "plx_win32.h"
#include "plx_log_record.h"
#include "plx_logging_config.h"
#include "plx_logging_outputs.h"

// Levels, one bit each; the detail mask admits the levels of its bits.
#define PLX_LEVEL_CRITICAL 1
#define PLX_LEVEL_EXCEPTION_BAD 2
#define PLX_LEVEL_EXCEPTION_OK 4
#define PLX_LEVEL_ERROR 8
#define PLX_LEVEL_WARNING 16
#define PLX_LEVEL_DEBUG 32
#define PLX_LEVEL_INFORMATION 64
#define PLX_LEVEL_NOTIFICATION 128
#define PLX_LEVEL_ENTRY 256
#define PLX_LEVEL_EXIT 512
#define PLX_LEVEL_SUCCESS 1024
#define PLX_LEVEL_FAILURE 2048

// Detail bits that restrict EXIT entries to failures of one result kind.
#define PLX_DETAIL_EXIT_ERRORCODE 0x1000
#define PLX_DETAIL_EXIT_SUCCESS 0x2000
#define PLX_DETAIL_EXIT_LOGICAL 0x4000
#define PLX_DETAIL_EXIT_MODIFIERS 0x7000

// Output bits; each names the registry value that holds its target.
#define PLX_OUTPUT_TEXT 0x01
#define PLX_OUTPUT_XML 0x02
#define PLX_OUTPUT_SERVER 0x04
#define PLX_OUTPUT_HTML 0x08
#define PLX_OUTPUT_UNKNOWN 0x20

// How an entry's code is shown.
enum PLXResultKind { rkErrorCode = 0, rkSuccess = 1, rkLogical = 2, rkReturnCode = 3 };

// "No code" in entries of kind rkErrorCode.
#define PLX_NO_CODE 0xFFFFFFFF

// The printed name of a level; "UNSPECIFIED" for any value outside the table.
LPCWSTR plxLevelName(ULONG ulLevel);

// The executable's file name without directory and extension, from a full
// path of any length ("C:\dir.x\setup.exe" gives "setup").  False when the
// path has no file name or szName is too small.
bool plxAppNameFromPath(LPCWSTR szPath, LPWSTR szName, DWORD cchName);
// The running executable's name, from its module path of any length: the
// path buffer starts at cchFirstTry characters and grows while it is cut off.
bool plxExecutableName(LPWSTR szName, DWORD cchName, DWORD cchFirstTry = MAX_PATH);

class CPLXLogging {
public:
    CPLXLogging(USHORT usOutputs, bool bLogOnDestroy);
    CPLXLogging(const CPLXLogging& other) = default;
    CPLXLogging& operator=(const CPLXLogging& other) = default;
    virtual ~CPLXLogging();
    // Filters and writes the entry now; true when an output reported it written.
    virtual bool logNow() = 0;
    bool isLogged() const { return m_bLogged; }

protected:
    // Level and named-settings filter; may set m_usDetail, m_usOutputs and
    // the record's application name.
    bool passesLevelFilter(CPLXLogRecord& record);

    bool m_bLogOnDestroy;
    USHORT m_usOutputs;
    USHORT m_usDetail;
    bool m_bLogged;
    CPLXLoggingConfig m_config;
    CPLXLoggingOutputs m_outputs;
};

class CPLXDetailedLog : public CPLXLogging {
public:
    CPLXDetailedLog(ULONG ulLevel, LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, LPCWSTR szClassName,
                    LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine, bool bLogNow, bool bLogOnDestroy,
                    USHORT usOutputs, LPCWSTR szAppName = nullptr, LPCWSTR szLogFile = nullptr);
    CPLXDetailedLog(const CPLXDetailedLog& other) = default;
    CPLXDetailedLog& operator=(const CPLXDetailedLog& other) = default;
    ~CPLXDetailedLog() override;
    bool logNow() override;

    const CPLXLogRecord& getRecord() const { return m_record; }

protected:
    // For subclasses that fill the record themselves.
    CPLXDetailedLog(USHORT usOutputs, bool bLogOnDestroy);
    bool passesFilter(CPLXLogRecord& record);
    // Sets the record's level, message, code and result kind, then as completeRecord.
    void fillRecord(ULONG ulLevel, LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, LPCWSTR szClassName,
                    LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine, bool bLogNow);
    // Sets where the entry was raised and, with bLogNow, writes it.
    void completeRecord(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine, bool bLogNow);
    // The steps of logNow without a virtual call (constructors, destructor).
    // Keeps the thread's last-error value, and errno, which catch-all
    // handlers report after an entry was written.
    bool write();

    CPLXLogRecord m_record;
};

class CPLXSimpleLog : public CPLXLogging {
public:
    CPLXSimpleLog(ULONG ulLevel, LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, bool bLogNow, bool bLogOnDestroy,
                  USHORT usOutputs, LPCWSTR szAppName = nullptr, LPCWSTR szLogFile = nullptr);
    CPLXSimpleLog(const CPLXSimpleLog& other) = default;
    CPLXSimpleLog& operator=(const CPLXSimpleLog& other) = default;
    ~CPLXSimpleLog() override;
    bool logNow() override;

    const CPLXLogRecord& getRecord() const { return m_record; }

protected:
    CPLXSimpleLog(USHORT usOutputs, bool bLogOnDestroy);
    bool write();

    CPLXLogRecord m_record;
};

#endif
