// Method traces: an ENTRY line when a traced operation starts and an EXIT line
// with its result when it ends.  One line per operation:
//
//     PLX_TRACE("CPLXFlags", "hasFlags");
//     ...
//     return plxTrace.logical(bResult);
//
// The EXIT line is written when plxTrace leaves scope, after any handler of
// the operation has run.  With traces off the cost is one global read.
#ifndef PLX_METHOD_TRACE_H
#define PLX_METHOD_TRACE_H

#include "plx_logging.h"
#include "plx_source.h"

// The trace entry: ENTRY when created, EXIT when destroyed.
class _CPLXLogEntry : public CPLXDetailedLog {
public:
    _CPLXLogEntry(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine, USHORT usOutputs,
                  bool bLogNow, bool bLogOnDestroy);
    ~_CPLXLogEntry() override;
    void setResult(ULONG ulResultKind, ULONG ulCode);
};

// A small heap object holding the trace entry, or null when logging is off.
class CPLXMethodTrace {
public:
    CPLXMethodTrace(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine);
    ~CPLXMethodTrace();
    CPLXMethodTrace(const CPLXMethodTrace&) = delete;
    CPLXMethodTrace& operator=(const CPLXMethodTrace&) = delete;
    void setResult(ULONG ulResultKind, ULONG ulCode);
    bool hasEntry() const { return m_pEntry != nullptr; }

private:
    _CPLXLogEntry* m_pEntry;
};

// Allocates the trace (null on failure) and frees it, writing EXIT; both keep
// the thread's last-error value and errno.
CPLXMethodTrace* plxStartTrace(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine);
void plxEndTrace(CPLXMethodTrace* pTrace);

// The scope object that PLX_TRACE declares.
class CPLXTraceScope {
public:
    CPLXTraceScope(LPCWSTR szClassName, LPCWSTR szMethodName, LPCWSTR szSourceFile, ULONG ulLine)
        : m_pTrace(plxTracingOn() ? plxStartTrace(szClassName, szMethodName, szSourceFile, ulLine) : nullptr) {}
    ~CPLXTraceScope() {
        if (m_pTrace) {
            plxEndTrace(m_pTrace);
        }
    }
    CPLXTraceScope(const CPLXTraceScope&) = delete;
    CPLXTraceScope& operator=(const CPLXTraceScope&) = delete;

    // Success or failure of the operation (kind rkSuccess, code 1 or 0).
    template <class T>
    T success(T result) {
        record(rkSuccess, result ? 1 : 0);
        return result;
    }
    // The answer of a predicate or comparison (kind rkLogical).
    bool logical(bool bAnswer) {
        record(rkLogical, bAnswer ? 1 : 0);
        return bAnswer;
    }
    // Constructors, destructors and operations without a result.
    void done() { record(rkSuccess, 1); }
    // A code shown as a return code.
    ULONG returnCode(ULONG ulCode) {
        record(rkReturnCode, ulCode);
        return ulCode;
    }

private:
    void record(ULONG ulKind, ULONG ulCode) {
        if (m_pTrace) {
            m_pTrace->setResult(ulKind, ulCode);
        }
    }
    CPLXMethodTrace* m_pTrace;
};

#define PLX_TRACE(className, methodName) CPLXTraceScope plxTrace(TEXT(className), TEXT(methodName), PLX_SRC)

#endif
