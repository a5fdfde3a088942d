// The data of one log entry.  Texts are owned heap copies or null.
#ifndef PLX_LOG_RECORD_H
#define PLX_LOG_RECORD_H

#include "plx_win32.h"

class CPLXLogRecord {
public:
    CPLXLogRecord(ULONG ulLevel = 0, LPCWSTR szMessage = nullptr, ULONG ulCode = 0, ULONG ulResultKind = 1,
                  LPCWSTR szAppName = nullptr, LPCWSTR szLogFile = nullptr);
    CPLXLogRecord(const CPLXLogRecord& other);
    CPLXLogRecord& operator=(const CPLXLogRecord& other);
    ~CPLXLogRecord();

    // Each setter frees the old text and stores a fresh copy.  A null text
    // leaves the field null and succeeds; an empty text leaves it null and
    // fails; so does an allocation failure.
    bool setMessage(LPCWSTR szText) { return copyText(m_szMessage, szText); }
    bool setAppName(LPCWSTR szText) { return copyText(m_szAppName, szText); }
    bool setLogFile(LPCWSTR szText) { return copyText(m_szLogFile, szText); }
    bool setClassName(LPCWSTR szText) { return copyText(m_szClassName, szText); }
    bool setMethodName(LPCWSTR szText) { return copyText(m_szMethodName, szText); }
    bool setSourceFile(LPCWSTR szText) { return copyText(m_szSourceFile, szText); }

    ULONG m_ulLevel;
    LPWSTR m_szMessage;
    LPWSTR m_szAppName;
    LPWSTR m_szLogFile;
    ULONG m_ulResultKind;
    ULONG m_ulCode;
    // Only detailed entries fill the last four.
    LPWSTR m_szClassName;
    LPWSTR m_szMethodName;
    LPWSTR m_szSourceFile;
    ULONG m_ulLine;

private:
    static bool copyText(LPWSTR& szField, LPCWSTR szText);
    void freeTexts();
};

#endif
