#include "plx_logging_outputs.h"

#include "plx_logging_output_text.h"

bool CPLXLoggingOutputs::dispatchFull(USHORT usOutputs, CPLXLogRecord& record) const {
    return dispatch(usOutputs, record, true);
}

bool CPLXLoggingOutputs::dispatchShort(USHORT usOutputs, CPLXLogRecord& record) const {
    return dispatch(usOutputs, record, false);
}

bool CPLXLoggingOutputs::dispatch(USHORT usOutputs, CPLXLogRecord& record, bool bFull) const {
    // Only the low 8 bits count; the result is that of the last output called.
    bool bResult = false;
    try {
        if (usOutputs & 0x01) {
            CPLXLoggingOutputText output;
            bResult = bFull ? output.writeEntry(record) : output.writeShortEntry(record);
        }
        if (usOutputs & 0x02) {
            CPLXLoggingOutputXML output;
            bResult = output.writeEntry(record);
        }
        if (usOutputs & 0x08) {
            CPLXLoggingOutputXML output;  // HTML goes to the XML output
            bResult = output.writeEntry(record);
        }
        if (usOutputs & 0x04) {
            CPLXLoggingOutputServer output;
            bResult = output.writeEntry(record);
        }
        if (usOutputs & 0x20) {
            CPLXLoggingOutputUnknown output;
            bResult = output.writeEntry(record);
        }
    } catch (...) {
        return false;
    }
    return bResult;
}

bool CPLXLoggingOutputXML::writeEntry(CPLXLogRecord&) { return false; }

bool CPLXLoggingOutputServer::writeEntry(CPLXLogRecord&) { return false; }

bool CPLXLoggingOutputUnknown::writeEntry(CPLXLogRecord&) { return false; }
