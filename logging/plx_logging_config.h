// The diagnostic log's settings under HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Logs.
//
// Per-entry settings are read afresh for every entry, so an administrator's
// change takes effect with the next entry.  The process settings are read once,
// by the first traced operation.
#ifndef PLX_LOGGING_CONFIG_H
#define PLX_LOGGING_CONFIG_H

#include "plx_win32.h"

#define PLX_LOGS_KEY TEXT("SOFTWARE\\Orvane\\Logs")
#define PLX_DEFAULT_LOG_DETAIL 0x1B

// 0: not read yet; 1: "DynamicLogging" read and equal to 1; 2: any other outcome.
extern LONG g_dynamicLoggingState;
extern DWORD g_maxLogFileNum;   // rotated text log copies kept
extern DWORD g_maxLogFileSize;  // rotation threshold in kilobytes

class CPLXLoggingConfig {
public:
    // Reads one value of the key into the caller's buffer, data as they stand.
    bool readLogValue(LPCWSTR szValueName, void* pBuffer, DWORD ulByteSize) const;
    bool isLoggingEnabled() const;
    USHORT getLogDetail() const;
    bool hasNamedSettings(LPCWSTR szName) const;
    USHORT getNamedOutputs(LPCWSTR szName) const;
    USHORT getNamedDetail(LPCWSTR szName) const;
    // The target value of one output bit ("TextOutput" for 0x01, ...).
    bool getOutputTarget(USHORT usOutput, void* pBuffer, DWORD ulByteSize) const;
    // True when the list is present; bFound then says whether it names the class.
    bool findInAllowObjects(LPCWSTR szClassName, bool& bFound) const;
    bool findInExcludeObjects(LPCWSTR szClassName, bool& bFound) const;

private:
    // A named value is read as at most MAX_PATH bytes into MAX_PATH characters,
    // so its text is always terminated.
    bool readNamedValue(LPCWSTR szName, WCHAR (&szText)[MAX_PATH]) const;
    bool findInObjectList(LPCWSTR szList, LPCWSTR szClassName, bool& bFound) const;
};

// The one-time read of "DynamicLogging", "MaxLogFileNum" and "MaxLogFileSize";
// true when "DynamicLogging" could be read.
bool readProcessLogSettings();

// Trace gate: reads the process settings the first time; afterwards a plain
// read of the global.  True when method traces are on.
bool plxReadProcessLogSettingsOnce();
inline bool plxTracingOn() {
    if (g_dynamicLoggingState == 0) {
        plxReadProcessLogSettingsOnce();
    }
    return g_dynamicLoggingState == 1;
}

#endif
