#include "plx_systeminfo.h"

#include "plx_buffer.h"
#include "plx_directory.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"

namespace {
// The library's folder names, by storage kind.
const WCHAR* const kStorageNames[] = {TEXT("Orvane")};
const ULONG SI_PATH_UNITS = MAX_PATH + 1;
}  // namespace

CPLXSystemInfo::CPLXSystemInfo(ULONG ulStorageKind) : m_ulStorageKind(ulStorageKind) {
    PLX_TRACE("CPLXSystemInfo", "CPLXSystemInfo");
    plxTrace.done();
}

CPLXSystemInfo::~CPLXSystemInfo() {
    PLX_TRACE("CPLXSystemInfo", "~CPLXSystemInfo");
    plxTrace.done();
}

bool CPLXSystemInfo::getStoragePath(CPLXWCharString& path) {
    PLX_TRACE("CPLXSystemInfo", "getStoragePath");
    try {
        if (m_ulStorageKind >= sizeof kStorageNames / sizeof kStorageNames[0]) {
            throw CPLXBadArgException(TEXT("m_ulStorageKind"), TEXT("Is not a known storage kind"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        CPLXBuffer<unsigned short> buffer(SI_PATH_UNITS);
        LPWSTR szFolder = reinterpret_cast<LPWSTR>(buffer.getBuffer());
        const HRESULT hResult = SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, szFolder);
        if (hResult < 0) {
            throw CPLXSIgetStoragePathException(TEXT("SHGetFolderPath( CSIDL_COMMON_APPDATA ) failed"),
                                                static_cast<ULONG>(hResult), TEXT("CPLXSystemInfo"),
                                                TEXT("getStoragePath"), PLX_SRC, PLX_LOG_NOW);
        }
        const CPLXWCharString storage = CPLXWCharString(static_cast<const WCHAR*>(szFolder)) + TEXT("\\") +
                                        CPLXWCharString(kStorageNames[m_ulStorageKind]) + TEXT("\\");
        CPLXDirectory directory(storage);
        if (!directory.isValidDirectory()) CreateDirectoryW(storage.c_str(), nullptr);
        path = storage;
        return plxTrace.success(true);
    } catch (CPLXSIgetStoragePathException& shellFailure) {
        plxReportCaught(shellFailure);
        return plxTrace.success(false);
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}
