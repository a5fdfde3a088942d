#include "plx_handlers.h"

void plxReportUnhandled(DWORD ulCode, LPCWSTR szSourceFile, ULONG ulLine) {
    try {
        CPLXUnhandledExceptionException report(ulCode, szSourceFile, ulLine, PLX_LOG_NOW);
    } catch (...) {
    }
}

void plxReportCaught(CPLXLogging& entry) {
    try {
        if (!entry.isLogged()) {
            entry.logNow();
        }
    } catch (...) {
    }
}
