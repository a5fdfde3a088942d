#include "plx_log_debug.h"

CPLXLogDebug::CPLXLogDebug(LPCWSTR szMessage, ULONG ulCode, LPCWSTR szClassName, LPCWSTR szMethodName,
                           LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXDetailedLog(PLX_LEVEL_DEBUG, szMessage, ulCode, rkErrorCode, szClassName, szMethodName, szSourceFile, ulLine,
                      bLogNow, bLogOnDestroy, usOutputs) {}
