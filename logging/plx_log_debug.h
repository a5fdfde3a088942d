// A DEBUG record of the library (such as a failed copy of a value name).
#ifndef PLX_LOG_DEBUG_H
#define PLX_LOG_DEBUG_H

#include "plx_logging.h"

class CPLXLogDebug : public CPLXDetailedLog {
public:
    CPLXLogDebug(LPCWSTR szMessage, ULONG ulCode, LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile,
                 ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

#endif
