#include "plx_logging_output_text.h"

#include "plx_file_no_link.h"
#include "plx_logging.h"
#include "plx_scoped_handle.h"

DWORD g_logBytesWritten = 0;
LONG g_logRotations = 0;

namespace {

const int MAX_LOG_PATH = 512;
const int TARGET_CHARS = 256;

bool isEmpty(LPCWSTR szText) { return szText == nullptr || szText[0] == 0; }

// Decimal digits of a number, at least nMinDigits of them, padded in front.
void formatDecimal(ULONG ulValue, WCHAR (&szText)[12], int nMinDigits = 1, WCHAR chPad = '0') {
    WCHAR szDigits[12];
    int n = 0;
    do {
        szDigits[n++] = static_cast<WCHAR>('0' + ulValue % 10);
        ulValue /= 10;
    } while (ulValue != 0);
    while (n < nMinDigits && n < 11) {
        szDigits[n++] = chPad;
    }
    for (int i = 0; i < n; ++i) {
        szText[i] = szDigits[n - 1 - i];
    }
    szText[n] = 0;
}

// One log line in a fixed buffer.  A line that would not fit is cut, keeping
// room for the CR LF that ends every line.
class CLogLine {
public:
    CLogLine() : m_nLength(0), m_bCut(false) {}

    void add(LPCWSTR szText) {
        if (szText == nullptr) {
            return;
        }
        for (; *szText != 0 && !m_bCut; ++szText) {
            if (m_nLength >= CONTENT_MAX) {
                m_bCut = true;
                // Do not leave half of a surrogate pair behind.
                if (m_szLine[m_nLength - 1] >= 0xD800 && m_szLine[m_nLength - 1] <= 0xDBFF) {
                    --m_nLength;
                }
                return;
            }
            m_szLine[m_nLength++] = *szText;
        }
    }
    void addDecimal(ULONG ulValue, int nMinDigits = 1, WCHAR chPad = '0') {
        WCHAR szText[12];
        formatDecimal(ulValue, szText, nMinDigits, chPad);
        add(szText);
    }
    // "0x%08x"
    void addHex(ULONG ulValue) {
        static const char digits[] = "0123456789abcdef";
        WCHAR szText[11] = {'0', 'x'};
        for (int i = 0; i < 8; ++i) {
            szText[2 + i] = static_cast<WCHAR>(digits[(ulValue >> (28 - 4 * i)) & 0xF]);
        }
        szText[10] = 0;
        add(szText);
    }
    void end() {
        m_szLine[m_nLength++] = '\r';
        m_szLine[m_nLength++] = '\n';
    }
    const WCHAR* text() const { return m_szLine; }
    DWORD byteSize() const { return static_cast<DWORD>(m_nLength) * sizeof(WCHAR); }

private:
    static const int CONTENT_MAX = PLX_LOG_LINE_SIZE - 2;
    WCHAR m_szLine[PLX_LOG_LINE_SIZE];
    int m_nLength;
    bool m_bCut;
};

// The local time in the C library's asctime layout, without the newline:
// "Mon Dec  7 23:05:35 2026".
void addLocalTime(CLogLine& line) {
    static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    SYSTEMTIME time = {};
    GetLocalTime(&time);
    WCHAR szName[4] = {};
    const char* szWeekday = weekdays[time.wDayOfWeek % 7];
    const char* szMonth = months[(time.wMonth >= 1 && time.wMonth <= 12) ? time.wMonth - 1 : 0];
    for (int i = 0; i < 3; ++i) {
        szName[i] = static_cast<WCHAR>(szWeekday[i]);
    }
    line.add(szName);
    line.add(TEXT(" "));
    for (int i = 0; i < 3; ++i) {
        szName[i] = static_cast<WCHAR>(szMonth[i]);
    }
    line.add(szName);
    line.add(TEXT(" "));
    line.addDecimal(time.wDay, 2, ' ');
    line.add(TEXT(" "));
    line.addDecimal(time.wHour, 2);
    line.add(TEXT(":"));
    line.addDecimal(time.wMinute, 2);
    line.add(TEXT(":"));
    line.addDecimal(time.wSecond, 2);
    line.add(TEXT(" "));
    line.addDecimal(time.wYear);
}

// The opening part shared by both forms: time, level and application.
void addHead(CLogLine& line, const CPLXLogRecord& record) {
    line.add(TEXT("<"));
    addLocalTime(line);
    line.add(TEXT(">: "));
    line.add(TEXT("<"));
    line.add(plxLevelName(record.m_ulLevel));
    line.add(TEXT("> "));
    line.add(TEXT("<"));
    line.add(record.m_szAppName);
    line.add(TEXT("> "));
}

void addMessage(CLogLine& line, const CPLXLogRecord& record) {
    if (!isEmpty(record.m_szMessage)) {
        line.add(TEXT("\""));
        line.add(record.m_szMessage);
        line.add(TEXT("\" "));
    }
}

void addResult(CLogLine& line, const CPLXLogRecord& record, bool bFull) {
    bool bExit = record.m_ulLevel == PLX_LEVEL_EXIT;
    switch (record.m_ulResultKind) {
    case rkErrorCode:
        if (record.m_ulCode != 0 && record.m_ulCode != PLX_NO_CODE) {
            line.add(TEXT("<Error: "));
            line.addHex(record.m_ulCode);
            line.add(TEXT("> "));
        }
        break;
    case rkSuccess:
        if (bExit) {
            if (record.m_ulCode != 0) {
                line.add(bFull ? TEXT("<Passed> ") : TEXT("<Passed>"));
            } else {
                line.add(bFull ? TEXT("<Failed> ") : TEXT("<Failed>"));
            }
        }
        break;
    case rkLogical:
        if (bExit) {
            if (record.m_ulCode != 0) {
                line.add(bFull ? TEXT("<Passed> ") : TEXT("<Passed>"));
            } else {
                line.add(bFull ? TEXT("<Failed Logical Result> ") : TEXT("<Failed Comparison>"));
            }
        }
        break;
    case rkReturnCode:
        line.add(TEXT("<Return Code: "));
        line.addHex(record.m_ulCode);
        line.add(TEXT("> "));
        break;
    default: break;
    }
}

void addClassAndMethod(CLogLine& line, const CPLXLogRecord& record) {
    bool bClass = !isEmpty(record.m_szClassName);
    bool bMethod = !isEmpty(record.m_szMethodName);
    if (bClass) {
        line.add(TEXT("<"));
        line.add(record.m_szClassName);
        if (!bMethod) {
            line.add(TEXT("> "));
        }
    }
    if (bMethod) {
        if (!bClass) {
            line.add(TEXT("<"));
        }
        line.add(TEXT("::"));
        line.add(record.m_szMethodName);
        line.add(TEXT("> "));
    }
}

void addSource(CLogLine& line, const CPLXLogRecord& record) {
    bool bSource = !isEmpty(record.m_szSourceFile);
    if (bSource) {
        LPCWSTR szName = record.m_szSourceFile;
        for (LPCWSTR p = record.m_szSourceFile; *p != 0; ++p) {
            if (*p == '\\') {
                szName = p + 1;
            }
        }
        line.add(TEXT("<"));
        line.add(szName);
        line.add(record.m_ulLine != 0 ? TEXT(", ") : TEXT(">"));
    }
    if (record.m_ulLine != 0) {
        if (!bSource) {
            line.add(TEXT("<"));
        }
        line.addDecimal(record.m_ulLine);
        line.add(TEXT("> "));
    }
}

// The log file, open for appending one line.
class CLogFile {
public:
    // The log often lies in a folder that standard users may write to: a
    // link planted under its name is never written through.
    bool open(LPCWSTR szPath) {
        m_file.reset(plxCreateFileNoLink(szPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0));
        if (!m_file.isValid()) {
            SetLastError(ERROR_SUCCESS);
            m_file.reset(
                plxCreateFileNoLink(szPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, 0));
            if (!m_file.isValid()) {
                return false;
            }
            // Only a file created just now gets the byte-order mark.
            if (GetLastError() != ERROR_ALREADY_EXISTS) {
                static const BYTE bom[2] = {0xFF, 0xFE};
                DWORD ulWritten = 0;
                WriteFile(m_file.get(), bom, sizeof(bom), &ulWritten, nullptr);
            }
        }
        SetFilePointer(m_file.get(), 0, nullptr, FILE_END);
        return true;
    }
    DWORD write(const CLogLine& line) {
        DWORD ulWritten = 0;
        if (!WriteFile(m_file.get(), line.text(), line.byteSize(), &ulWritten, nullptr)) {
            return 0;
        }
        return ulWritten;
    }

private:
    CPLXScopedKernelHandle m_file;
};

// The directory of a log file path: up to and including the last backslash.
// Empty when the path has no drive letter or is too long.
void directoryOf(LPCWSTR szPath, WCHAR (&szDirectory)[MAX_LOG_PATH]) {
    szDirectory[0] = 0;
    int nLength = lstrlenW(szPath);
    if (nLength < 2 || nLength >= MAX_LOG_PATH || szPath[1] != ':') {
        return;
    }
    int nEnd = -1;
    for (int i = 0; i < nLength; ++i) {
        if (szPath[i] == '\\') {
            nEnd = i;
        }
    }
    for (int i = 0; i <= nEnd; ++i) {
        szDirectory[i] = szPath[i];
    }
    szDirectory[nEnd + 1] = 0;
}

// P followed by "." and n.
void numberedName(LPCWSTR szPath, ULONG ulNumber, WCHAR (&szName)[MAX_LOG_PATH + 16]) {
    lstrcpynW(szName, szPath, MAX_LOG_PATH);
    WCHAR szNumber[12];
    formatDecimal(ulNumber, szNumber);
    int nLength = lstrlenW(szName);
    szName[nLength++] = '.';
    for (int i = 0; szNumber[i] != 0; ++i) {
        szName[nLength++] = szNumber[i];
    }
    szName[nLength] = 0;
}

}  // namespace

bool CPLXLoggingOutputText::writeEntry(CPLXLogRecord& record) { return write(record, true); }

bool CPLXLoggingOutputText::writeShortEntry(CPLXLogRecord& record) { return write(record, false); }

bool CPLXLoggingOutputText::write(CPLXLogRecord& record, bool bFull) {
    try {
        if (record.m_szLogFile == nullptr) {
            WCHAR szTarget[TARGET_CHARS] = {};
            CPLXLoggingConfig config;
            // 256 bytes into 256 characters: the path is always terminated.
            if (!config.getOutputTarget(PLX_OUTPUT_TEXT, szTarget, TARGET_CHARS)) {
                return false;
            }
            if (!record.setLogFile(szTarget)) {
                return false;
            }
        }
        WCHAR szDirectory[MAX_LOG_PATH];
        directoryOf(record.m_szLogFile, szDirectory);
        if (szDirectory[0] != 0) {
            // Only the last level; a missing parent makes the open fail.
            CreateDirectoryW(szDirectory, nullptr);
        } else if (bFull) {
            return false;
        }

        CLogLine line;
        addHead(line, record);
        if (bFull) {
            addClassAndMethod(line, record);
        }
        addMessage(line, record);
        addResult(line, record, bFull);
        if (bFull) {
            addSource(line, record);
        }
        line.end();

        {
            CLogFile file;
            if (!file.open(record.m_szLogFile)) {
                return false;
            }
            DWORD ulWritten = file.write(line);
            if (bFull) {
                g_logBytesWritten += ulWritten;
            }
        }
        if (bFull) {
            rotate(record.m_szLogFile);
        }
        return true;
    } catch (...) {
        return false;
    }
}

void CPLXLoggingOutputText::rotate(LPCWSTR szLogFile) {
    if (g_maxLogFileSize == 0 || g_maxLogFileNum == 0 || g_logBytesWritten / 1024 <= g_maxLogFileSize) {
        return;
    }
    WCHAR szFrom[MAX_LOG_PATH + 16];
    WCHAR szTo[MAX_LOG_PATH + 16];
    // The copy numbered MaxLogFileNum is never moved on: the one below replaces it.
    for (LONG n = g_logRotations; n >= 1; --n) {
        if (static_cast<DWORD>(n) == g_maxLogFileNum) {
            continue;
        }
        numberedName(szLogFile, static_cast<ULONG>(n), szFrom);
        numberedName(szLogFile, static_cast<ULONG>(n) + 1, szTo);
        MoveFileExW(szFrom, szTo, MOVEFILE_REPLACE_EXISTING);
    }
    numberedName(szLogFile, 1, szTo);
    MoveFileExW(szLogFile, szTo, MOVEFILE_REPLACE_EXISTING);
    ++g_logRotations;
    g_logBytesWritten = 0;
}
