// The handlers that close a library operation's try block:
//
//     try { ... }
//     PLX_CATCH_RETURN(false)
//
// A library exception is written if it has not been yet; anything else is
// reported as "An unhandled exception occurred" at the handler's position.
// Either way the operation returns its failure value.
#ifndef PLX_HANDLERS_H
#define PLX_HANDLERS_H

#include <cerrno>

#include "plx_exceptions.h"

// Builds, writes and destroys a CPLXUnhandledExceptionException.  Never throws.
void plxReportUnhandled(DWORD ulCode, LPCWSTR szSourceFile, ULONG ulLine);
// Writes a caught library exception unless it was written already.
void plxReportCaught(CPLXLogging& entry);

#define PLX_CATCH_RETURN(failValue)                             \
    catch (CPLXLogging & plxCaught) {                           \
        plxReportCaught(plxCaught);                             \
        return failValue;                                       \
    }                                                           \
    catch (...) {                                               \
        plxReportUnhandled(static_cast<DWORD>(errno), PLX_SRC); \
        return failValue;                                       \
    }

// The same; the unhandled report carries the Windows last error.
#define PLX_CATCH_RETURN_LASTERROR(failValue)        \
    catch (CPLXLogging & plxCaught) {                \
        plxReportCaught(plxCaught);                  \
        return failValue;                            \
    }                                                \
    catch (...) {                                    \
        plxReportUnhandled(GetLastError(), PLX_SRC); \
        return failValue;                            \
    }

// Only a catch-all: a library exception is then written a second time as
// the unhandled report.
#define PLX_CATCH_ALL_RETURN(failValue)                         \
    catch (...) {                                               \
        plxReportUnhandled(static_cast<DWORD>(errno), PLX_SRC); \
        return failValue;                                       \
    }

#define PLX_CATCH_ALL_RETURN_LASTERROR(failValue)    \
    catch (...) {                                    \
        plxReportUnhandled(GetLastError(), PLX_SRC); \
        return failValue;                            \
    }

// Constructors: a library exception goes on unchanged; anything else is
// reported and replaced by the constructor's init exception.
#define PLX_CATCH_RETHROW(initException)                        \
    catch (CPLXLogging & plxCaught) {                           \
        plxReportCaught(plxCaught);                             \
        throw;                                                  \
    }                                                           \
    catch (...) {                                               \
        plxReportUnhandled(static_cast<DWORD>(errno), PLX_SRC); \
        throw initException;                                    \
    }

// Constructors that replace every failure by their init exception.
#define PLX_CATCH_THROW(initException)                          \
    catch (CPLXLogging & plxCaught) {                           \
        plxReportCaught(plxCaught);                             \
        throw initException;                                    \
    }                                                           \
    catch (...) {                                               \
        plxReportUnhandled(static_cast<DWORD>(errno), PLX_SRC); \
        throw initException;                                    \
    }

// Destructors: report and swallow.
#define PLX_CATCH_ALL_SWALLOW                                   \
    catch (...) {                                               \
        plxReportUnhandled(static_cast<DWORD>(errno), PLX_SRC); \
    }

#endif
