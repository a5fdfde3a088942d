#include "plx_directory.h"

#include "plx_handlers.h"
#include "plx_method_trace.h"
#include "plx_scoped_handle.h"

namespace {
const WCHAR* const kBackslash = TEXT("\\");
}  // namespace

CPLXDirectory::CPLXDirectory(const CPLXWCharString& directoryName) {
    PLX_TRACE("CPLXDirectory", "Constructor");
    try {
        if (!setDirectoryName(directoryName)) throw CPLXDirectoryInitException(PLX_SRC, PLX_LOG_NOW);
    } catch (CPLXLogging& caught) {
        plxReportCaught(caught);
    } catch (...) {
        plxReportUnhandled(GetLastError(), PLX_SRC);
    }
    plxTrace.done();
}

CPLXDirectory::~CPLXDirectory() {
    PLX_TRACE("CPLXDirectory", "Destructor");
    plxTrace.done();
}

bool CPLXDirectory::setDirectoryName(const CPLXWCharString& directoryName) {
    PLX_TRACE("CPLXDirectory", "setDirectoryName");
    try {
        m_directoryName = directoryName;
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

bool CPLXDirectory::isValidDirectory() {
    PLX_TRACE("CPLXDirectory", "isValidDirectory");
    return plxTrace.logical(isValidWindowsDirectory(m_directoryName));
}

bool CPLXDirectory::isValidWindowsDirectory(const CPLXWCharString& path) {
    PLX_TRACE("CPLXDirectory", "isValidWindowsDirectory");
    try {
        // A drive or a folder with a trailing backslash is searched for its
        // entries; any other path for itself.
        const ULONG ulLength = path.getLength();
        if (ulLength < 2) throw CPLXIndexOutOfBoundsException(PLX_SRC, PLX_LOG_NOW);
        const WCHAR wcLast = path.c_str()[ulLength - 1];
        const WCHAR wcBeforeLast = path.c_str()[ulLength - 2];
        CPLXWCharString pattern(path);
        if (wcBeforeLast == TEXT(':') && wcLast == TEXT('\\'))
            pattern += CPLXWCharString(TEXT("*"));
        else if (wcLast == TEXT(':'))
            pattern += CPLXWCharString(TEXT("\\*"));
        else if (wcLast == TEXT('\\'))
            pattern += CPLXWCharString(TEXT("*"));
        WIN32_FIND_DATAW data;
        const CPLXScopedFindHandle search(FindFirstFileW(pattern.c_str(), &data));
        if (!search.isValid()) return plxTrace.logical(false);
        const DWORD dwAttributes = GetFileAttributesW(path.c_str());
        return plxTrace.logical(dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY));
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.logical(false))
}

bool CPLXDirectory::createDirectory() {
    if (isValidDirectory() || m_directoryName.getLength() == 0) return false;
    try {
        CPLXWCharString path(m_directoryName);
        if (!path.endsWith(CPLXWCharString(kBackslash))) path += CPLXWCharString(kBackslash);
        bool bCreated = false;
        CPLXWCharString level;
        for (ULONG n = 1; path.parse(level, CPLXWCharString(kBackslash), n, CPLXWCharString::pmFromStart, true); ++n) {
            CPLXDirectory existing(level);
            if (existing.isValidDirectory()) continue;
            if (!CreateDirectoryW(level.c_str(), nullptr)) return false;
            bCreated = true;
        }
        return bCreated;
    }
    PLX_CATCH_RETURN_LASTERROR(false)
}
