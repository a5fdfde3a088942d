// Hands an entry's record to the outputs named by its output mask.
#ifndef PLX_LOGGING_OUTPUTS_H
#define PLX_LOGGING_OUTPUTS_H

#include "plx_log_record.h"

class CPLXLoggingOutputs {
public:
    // The result is that of the last output called; false when none was.
    bool dispatchFull(USHORT usOutputs, CPLXLogRecord& record) const;
    bool dispatchShort(USHORT usOutputs, CPLXLogRecord& record) const;

private:
    bool dispatch(USHORT usOutputs, CPLXLogRecord& record, bool bFull) const;
};

// Outputs that are configured by name but write nothing.
class CPLXLoggingOutputXML {
public:
    virtual ~CPLXLoggingOutputXML() = default;
    virtual bool writeEntry(CPLXLogRecord& record);
};

class CPLXLoggingOutputServer {
public:
    virtual ~CPLXLoggingOutputServer() = default;
    virtual bool writeEntry(CPLXLogRecord& record);
};

class CPLXLoggingOutputUnknown {
public:
    virtual ~CPLXLoggingOutputUnknown() = default;
    virtual bool writeEntry(CPLXLogRecord& record);
};

#endif
