// Keeps the thread's last-error value and errno across the work of a scope.
// Writing a log entry must not change them: catch-all handlers report them
// after an entry was written.
#ifndef PLX_ERROR_STATE_GUARD_H
#define PLX_ERROR_STATE_GUARD_H

#include "plx_win32.h"

#include <cerrno>

class CPLXErrorStateGuard {
public:
    CPLXErrorStateGuard() : m_dwLastError(GetLastError()), m_nErrno(errno) {}
    ~CPLXErrorStateGuard() {
        errno = m_nErrno;
        SetLastError(m_dwLastError);
    }
    CPLXErrorStateGuard(const CPLXErrorStateGuard&) = delete;
    CPLXErrorStateGuard& operator=(const CPLXErrorStateGuard&) = delete;

private:
    DWORD m_dwLastError;
    int m_nErrno;
};

#endif
