#include "plx_windows_resource.h"

#include "plx_buffer.h"
#include "plx_exceptions.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"

CPLXWindowsResource::CPLXWindowsResource() : m_hModule(nullptr) {
    PLX_TRACE("CPLXWindowsResource", "CPLXWindowsResource");
    WCHAR szPath[PLX_RESOURCE_STRING_SIZE + 1] = {};
    const DWORD dwLength = GetModuleFileNameW(nullptr, szPath, PLX_RESOURCE_STRING_SIZE);
    // A cut path would name another module, or none.
    if (dwLength > 0 && dwLength < PLX_RESOURCE_STRING_SIZE) {
        m_hModule = GetModuleHandleW(szPath);
    }
    plxTrace.done();
}

CPLXWindowsResource::~CPLXWindowsResource() {
    PLX_TRACE("CPLXWindowsResource", "~CPLXWindowsResource");
    try {
        m_dllName.release();
    }
    PLX_CATCH_ALL_SWALLOW
    plxTrace.done();
}

bool CPLXWindowsResource::loadString(UINT uID, CPLXWCharString& out) {
    PLX_TRACE("CPLXWindowsResource", "loadString");
    try {
        CPLXBuffer<WCHAR> text(PLX_RESOURCE_STRING_SIZE);
        const int iLength = LoadStringW(m_hModule, uID, text.getBuffer(), PLX_RESOURCE_STRING_SIZE);
        if (iLength == 0) {
            throw CPLXLoadStringException(uID, m_dllName.isValid() ? m_dllName.c_str() : nullptr, GetLastError(),
                                          PLX_SRC, PLX_LOG_NOW);
        }
        out = text.getBuffer();
        return plxTrace.success(true);
    } catch (CPLXLoadStringException&) {
        // Written when it was raised.
        return plxTrace.success(false);
    }
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}
