#include "plx_message_box.h"

#include "plx_exceptions.h"
#include "plx_handlers.h"
#include "plx_log_notification.h"
#include "plx_method_trace.h"
#include "plx_windows_resource.h"

namespace {

// A copy that came out invalid from a valid source failed.
void copyText(CPLXWCharString& target, const CPLXWCharString& source) {
    target = source;
    if (source.isValid() && !target.isValid()) {
        throw CPLXMessageBoxInitException(GetLastError(), PLX_SRC, PLX_LOG_NOW);
    }
}

}  // namespace

CPLXMessageBox::CPLXMessageBox(HWND hOwner, const CPLXWCharString& title, const CPLXWCharString& message,
                               const CPLXFlags& flags)
    : m_iResult(IDCANCEL), m_hOwner(hOwner) {
    PLX_TRACE("CPLXMessageBox", "CPLXMessageBox");
    try {
        copyText(m_message, message);
        copyText(m_title, title);
        m_flags = flags;
    } catch (CPLXMessageBoxInitException&) {
        throw;
    } catch (...) {
        throw CPLXMessageBoxInitException(GetLastError(), PLX_SRC, PLX_LOG_NOW);
    }
    plxTrace.done();
}

CPLXMessageBox::~CPLXMessageBox() {
    PLX_TRACE("CPLXMessageBox", "~CPLXMessageBox");
    try {
        m_message.release();
        m_title.release();
    }
    PLX_CATCH_ALL_SWALLOW
    plxTrace.done();
}

bool CPLXMessageBox::showMessageBox() {
    PLX_TRACE("CPLXMessageBox", "showMessageBox");
    bool bResult = false;
    try {
        m_iResult = MessageBoxW(m_hOwner, m_message.c_str(), m_title.c_str(), static_cast<UINT>(m_flags.getFlags()));
        bResult = m_iResult != 0;
        // Written after the box was closed; neither caption nor answer is recorded.
        CPLXWCharString text(TEXT("Message Box displayed: "));
        text += m_message;
        CLogNotification notification(text.c_str(), PLX_OUTPUT_TEXT, false, false);
        notification.logNow();
    } catch (...) {
        plxReportUnhandled(GetLastError(), PLX_SRC);
    }
    return plxTrace.success(bResult);
}

bool CPLXMessageBox::setTitle(UINT uID) {
    PLX_TRACE("CPLXMessageBox", "setTitle");
    try {
        CPLXWindowsResource resource;
        return plxTrace.success(resource.loadString(uID, m_title));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

bool CPLXMessageBox::setMsg(UINT uID) {
    PLX_TRACE("CPLXMessageBox", "setMsg");
    try {
        CPLXWindowsResource resource;
        return plxTrace.success(resource.loadString(uID, m_message));
    }
    PLX_CATCH_RETURN(plxTrace.success(false))
}

bool CPLXMessageBox::setTitle(const CPLXWCharString& title) {
    PLX_TRACE("CPLXMessageBox", "setTitle");
    try {
        m_title = title;
        return plxTrace.success(m_title == title);
    }
    // Every failure here is unexpected: reported as an unhandled exception.
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}

bool CPLXMessageBox::setMsg(const CPLXWCharString& message) {
    PLX_TRACE("CPLXMessageBox", "setMsg");
    try {
        m_message = message;
        return plxTrace.success(m_message == message);
    }
    // Every failure here is unexpected: reported as an unhandled exception.
    PLX_CATCH_ALL_RETURN(plxTrace.success(false))
}

void CPLXMessageBox::addFlags(ULONG ulFlags) {
    PLX_TRACE("CPLXMessageBox", "addFlags");
    m_flags = CPLXFlags(m_flags.getFlags() | ulFlags);
    plxTrace.done();
}
