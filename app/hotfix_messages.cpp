// The one way the installer talks to the user: a message box unless silent,
// and a patch log line with the answer in every case.
#include "hotfix.h"

#include "plx_handlers.h"

bool loadMessageText(UINT uId, CPLXWCharString& szText) {
    try {
        WCHAR szBuffer[HOTFIX_MESSAGE_CHARS] = {};
        if (LoadStringW(GetModuleHandleW(nullptr), uId, szBuffer, HOTFIX_MESSAGE_CHARS) <= 0) {
            szText = CPLXWCharString();
            return false;
        }
        szText = szBuffer;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

int showOutcome(ULONG ulOutcome, UINT uType, int iDefault) {
    UINT uId = IDS_UNKNOWN_FAILURE;
    switch (ulOutcome) {
    case hoOSMismatch: uId = IDS_OS_MISMATCH; break;
    case hoVersionMismatch: uId = IDS_VERSION_MISMATCH; break;
    case hoAlreadyInstalled: uId = IDS_ALREADY_INSTALLED; break;
    case hoNotInstalled: uId = IDS_NOT_INSTALLED; break;
    case hoInstalled: uId = IDS_RESTART; break;
    default: uId = IDS_UNKNOWN_FAILURE; break;
    }
    return showMessage(uId, uType, iDefault);
}

int showMessage(UINT uId, UINT uType, int iDefault) {
    try {
        CPLXWCharString szCaption, szText;
        loadMessageText(IDS_CAPTION, szCaption);
        loadMessageText(uId, szText);
        return showMessageText(szCaption, szText, uType, iDefault);
    }
    PLX_CATCH_RETURN(iDefault)
}

int showMessageText(const CPLXWCharString& szCaption, const CPLXWCharString& szText, UINT uType, int iDefault) {
    int iAnswer = iDefault;
    try {
        CPLXWCharString szTitle(szCaption);
        if (szTitle.getLength() == 0) loadMessageText(IDS_CAPTION, szTitle);
        if (!g_silentMode) iAnswer = MessageBoxW(nullptr, szText.c_str(), szTitle.c_str(), uType);

        CPLXWCharString szLine(szText);
        szLine += CPLXWCharString(TEXT(" User select: "));
        szLine += CPLXWCharString(static_cast<LONG>(iAnswer));
        appendPatchLog(szLine);
        return iAnswer;
    }
    PLX_CATCH_RETURN(iAnswer)
}
