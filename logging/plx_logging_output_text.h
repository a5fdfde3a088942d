// The text log file: one UTF-16LE line per entry, with rotation.  A line is
// built in PLX_LOG_LINE_SIZE units; a longer one is cut (never inside a
// surrogate pair) and still ends with CR LF.
#ifndef PLX_LOGGING_OUTPUT_TEXT_H
#define PLX_LOGGING_OUTPUT_TEXT_H

#include "plx_log_record.h"

#define PLX_LOG_LINE_SIZE 1024

// Bytes of full-form lines written since process start or the last rotation.
extern DWORD g_logBytesWritten;
extern LONG g_logRotations;

class CPLXLoggingOutputText {
public:
    CPLXLoggingOutputText() = default;
    virtual ~CPLXLoggingOutputText() = default;
    // Full form (detailed entries); counts and rotates.
    virtual bool writeEntry(CPLXLogRecord& record);
    // Short form (simple entries); never rotates.
    virtual bool writeShortEntry(CPLXLogRecord& record);

private:
    bool write(CPLXLogRecord& record, bool bFull);
    void rotate(LPCWSTR szLogFile);
};

#endif
