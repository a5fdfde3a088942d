#include "plx_log_record.h"

#include <new>

CPLXLogRecord::CPLXLogRecord(ULONG ulLevel, LPCWSTR szMessage, ULONG ulCode, ULONG ulResultKind, LPCWSTR szAppName,
                             LPCWSTR szLogFile)
    : m_ulLevel(ulLevel),
      m_szMessage(nullptr),
      m_szAppName(nullptr),
      m_szLogFile(nullptr),
      m_ulResultKind(ulResultKind),
      m_ulCode(ulCode),
      m_szClassName(nullptr),
      m_szMethodName(nullptr),
      m_szSourceFile(nullptr),
      m_ulLine(0) {
    setMessage(szMessage);
    setAppName(szAppName);
    setLogFile(szLogFile);
}

CPLXLogRecord::CPLXLogRecord(const CPLXLogRecord& other)
    : m_ulLevel(0),
      m_szMessage(nullptr),
      m_szAppName(nullptr),
      m_szLogFile(nullptr),
      m_ulResultKind(1),
      m_ulCode(0),
      m_szClassName(nullptr),
      m_szMethodName(nullptr),
      m_szSourceFile(nullptr),
      m_ulLine(0) {
    *this = other;
}

CPLXLogRecord& CPLXLogRecord::operator=(const CPLXLogRecord& other) {
    if (this == &other) {
        return *this;
    }
    m_ulLevel = other.m_ulLevel;
    m_ulResultKind = other.m_ulResultKind;
    m_ulCode = other.m_ulCode;
    m_ulLine = other.m_ulLine;
    // A text that cannot be copied leaves its field null.
    setMessage(other.m_szMessage);
    setAppName(other.m_szAppName);
    setLogFile(other.m_szLogFile);
    setClassName(other.m_szClassName);
    setMethodName(other.m_szMethodName);
    setSourceFile(other.m_szSourceFile);
    return *this;
}

CPLXLogRecord::~CPLXLogRecord() { freeTexts(); }

void CPLXLogRecord::freeTexts() {
    LPWSTR* fields[] = {&m_szMessage, &m_szAppName, &m_szLogFile, &m_szClassName, &m_szMethodName, &m_szSourceFile};
    for (LPWSTR* pField : fields) {
        delete[] * pField;
        *pField = nullptr;
    }
}

bool CPLXLogRecord::copyText(LPWSTR& szField, LPCWSTR szText) {
    if (szText != nullptr && szText == szField) {
        return true;
    }
    delete[] szField;
    szField = nullptr;
    if (szText == nullptr) {
        return true;
    }
    int nLength = lstrlenW(szText);
    if (nLength <= 0) {
        return false;
    }
    LPWSTR szCopy = new (std::nothrow) WCHAR[nLength + 1];
    if (szCopy == nullptr) {
        return false;
    }
    for (int i = 0; i <= nLength; ++i) {
        szCopy[i] = szText[i];
    }
    szField = szCopy;
    return true;
}
