#include "plx_method_trace.h"

#include "plx_error_state_guard.h"

#include <new>

_CPLXLogEntry::_CPLXLogEntry(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine,
                             USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXDetailedLog(PLX_LEVEL_ENTRY, nullptr, 0, rkSuccess, szClassName, szMethodName, szSourceFile, ulLine, bLogNow,
                      bLogOnDestroy, usOutputs) {}

_CPLXLogEntry::~_CPLXLogEntry() {
    // The base destructor writes the entry once more, now as EXIT.
    m_record.m_ulLevel = PLX_LEVEL_EXIT;
}

void _CPLXLogEntry::setResult(ULONG ulResultKind, ULONG ulCode) {
    m_record.m_ulResultKind = ulResultKind;
    m_record.m_ulCode = ulCode;
}

CPLXMethodTrace::CPLXMethodTrace(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine)
    : m_pEntry(nullptr) {
    try {
        CPLXLoggingConfig config;
        if (config.isLoggingEnabled()) {
            m_pEntry = new (std::nothrow)
                _CPLXLogEntry(szClassName, szMethodName, szSourceFile, ulLine, PLX_OUTPUT_TEXT, true, true);
        }
    } catch (...) {
        m_pEntry = nullptr;
    }
}

CPLXMethodTrace::~CPLXMethodTrace() { delete m_pEntry; }

void CPLXMethodTrace::setResult(ULONG ulResultKind, ULONG ulCode) {
    if (m_pEntry != nullptr) {
        m_pEntry->setResult(ulResultKind, ulCode);
    }
}

CPLXMethodTrace* plxStartTrace(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine) {
    CPLXErrorStateGuard keepErrors;
    try {
        return new (std::nothrow) CPLXMethodTrace(szClassName, szMethodName, szSourceFile, ulLine);
    } catch (...) {
        return nullptr;
    }
}

void plxEndTrace(CPLXMethodTrace* pTrace) {
    CPLXErrorStateGuard keepErrors;
    delete pTrace;
}
