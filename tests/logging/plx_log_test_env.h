// Test helpers for the diagnostic log: the logging values in the registry
// (HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Logs in the process's own view, as the
// library reads them) and the text log read back as lines.  Header only, so
// that the core and system suites can use it too.
#ifndef PLX_LOG_TEST_ENV_H
#define PLX_LOG_TEST_ENV_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "plx_logging.h"
#include "plx_logging_config.h"
#include "plx_logging_output_text.h"
#include "plx_scoped_handle.h"
#include "plx_test_text.h"
#include "plx_text_codec.h"
#include "plx_wchar_string.h"
#include "plx_win32.h"

// A library string from UTF-8 text ("" gives an invalid string).
inline CPLXWCharString plxStr(std::string_view text) { return CPLXWCharString(plxW(text).c_str()); }

// The text of a library string as UTF-8 ("" for an invalid string).
inline std::string plxNarrow(const CPLXWCharString& text) { return plxNarrow(text.c_str(), text.getLength()); }

// The logging key, emptied for one test and removed afterwards.
class PlxLogSettings {
public:
    PlxLogSettings() {
        clear();
        CPLXScopedRegKey key;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, PLX_LOGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(),
                                  nullptr),
                  ERROR_SUCCESS)
            << "cannot create the logging key";
    }
    ~PlxLogSettings() { clear(); }
    PlxLogSettings(const PlxLogSettings&) = delete;
    PlxLogSettings& operator=(const PlxLogSettings&) = delete;

    // Removes the key itself (the state of a machine without logging values).
    static void clear() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, PLX_LOGS_KEY); }

    void setDword(const char* szName, DWORD ulValue) {
        set(szName, REG_DWORD, reinterpret_cast<const BYTE*>(&ulValue), sizeof(ulValue));
    }
    // REG_SZ with its terminator.
    void setString(const char* szName, const PlxWString& text) {
        set(szName, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
            static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    }
    void setString(const char* szName, const char* szText) { setString(szName, plxW(szText)); }
    void remove(const char* szName) {
        CPLXScopedRegKey key = open();
        if (key.isValid()) {
            RegDeleteValueW(key.get(), plxW(szName).c_str());
        }
    }
    void set(const char* szName, DWORD ulType, const BYTE* pData, DWORD cbData) {
        CPLXScopedRegKey key = open();
        ASSERT_TRUE(key.isValid());
        EXPECT_EQ(RegSetValueExW(key.get(), plxW(szName).c_str(), 0, ulType, pData, cbData), ERROR_SUCCESS);
    }

private:
    static CPLXScopedRegKey open() {
        CPLXScopedRegKey key;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, PLX_LOGS_KEY, 0, KEY_ALL_ACCESS, key.out());
        return key;
    }
};

// The whole content of a file as UTF-16 units (BOM included); false when it
// cannot be opened.
inline bool plxReadUnits(const PlxWString& path, PlxWString& content) {
    content.clear();
    const CPLXScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.isValid()) {
        return false;
    }
    std::string bytes;
    char chunk[4096];
    DWORD ulRead = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &ulRead, nullptr) && ulRead > 0) {
        bytes.append(chunk, ulRead);
    }
    const std::u16string units = plxtext::fromUtf16leBytes(bytes);
    content.assign(units.begin(), units.end());
    if (bytes.size() % 2 != 0) {
        content += static_cast<WCHAR>(0xDEAD);  // an odd byte count is a fault
    }
    return true;
}

inline bool plxFileExists(const PlxWString& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A log file of one test case: C:\plxlogtest\<case>\log.txt, with its rotated
// copies, removed before and after the case.
class PlxTestLog {
public:
    explicit PlxTestLog(const char* szCase, const char* szFile = "log.txt")
        : m_directory(plxW("C:\\plxlogtest\\") + plxW(szCase)), m_path(m_directory + plxW("\\") + plxW(szFile)) {
        CreateDirectoryW(plxW("C:\\plxlogtest").c_str(), nullptr);
        removeFiles();
    }
    ~PlxTestLog() { removeFiles(); }
    PlxTestLog(const PlxTestLog&) = delete;
    PlxTestLog& operator=(const PlxTestLog&) = delete;

    const PlxWString& path() const { return m_path; }
    const PlxWString& directory() const { return m_directory; }
    PlxWString numbered(int n) const {
        char szSuffix[16];
        snprintf(szSuffix, sizeof(szSuffix), ".%d", n);
        return m_path + plxW(szSuffix);
    }
    bool exists() const { return plxFileExists(m_path); }

    // The content as UTF-16 units, BOM included; empty when there is no file.
    PlxWString units(const PlxWString& path) const {
        PlxWString content;
        plxReadUnits(path, content);
        return content;
    }
    PlxWString units() const { return units(m_path); }

    // The lines after the BOM, each without its CR LF.  A file must start with
    // exactly one BOM and end with CR LF.
    std::vector<std::string> lines(const PlxWString& path) const {
        std::vector<std::string> result;
        PlxWString content = units(path);
        if (content.empty()) {
            return result;
        }
        EXPECT_EQ(content[0], 0xFEFF) << "no byte-order mark";
        size_t start = 1;
        for (;;) {
            size_t end = content.find(plxW("\r\n"), start);
            if (end == PlxWString::npos) {
                EXPECT_EQ(start, content.size()) << "the last line has no CR LF";
                break;
            }
            result.push_back(plxNarrow(content.substr(start, end - start)));
            start = end + 2;
        }
        return result;
    }
    std::vector<std::string> lines() const { return lines(m_path); }

    void removeFiles() const {
        DeleteFileW(m_path.c_str());
        for (int n = 1; n <= 9; ++n) {
            DeleteFileW(numbered(n).c_str());
        }
        RemoveDirectoryW(m_directory.c_str());
    }

private:
    PlxWString m_directory;
    PlxWString m_path;
};

// "<Mon Dec  7 23:05:35 2026>: " at the start of a line: checks the time's
// layout and returns the rest of the line ("" with a failure otherwise).
inline std::string plxAfterTime(const std::string& line) {
    static const char* const weekdays = "Sun Mon Tue Wed Thu Fri Sat";
    static const char* const months = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec";
    // "<" + 24 characters + ">: "
    if (line.size() < 28 || line[0] != '<' || line.compare(25, 3, ">: ") != 0) {
        ADD_FAILURE() << "no time at the start of: " << line;
        return "";
    }
    std::string time = line.substr(1, 24);
    bool bOk = std::string(weekdays).find(time.substr(0, 3)) != std::string::npos && time[3] == ' ' &&
               std::string(months).find(time.substr(4, 3)) != std::string::npos && time[7] == ' ' &&
               (time[8] == ' ' || (time[8] >= '1' && time[8] <= '3')) && time[9] >= '0' && time[9] <= '9' &&
               time[10] == ' ' && time[13] == ':' && time[16] == ':' && time[19] == ' ';
    for (int i : {11, 12, 14, 15, 17, 18, 20, 21, 22, 23}) {
        bOk = bOk && time[i] >= '0' && time[i] <= '9';
    }
    EXPECT_TRUE(bOk) << "time layout: " << time;
    return line.substr(28);
}

// Logging on for one test: the key with "Logging" 1, the given detail and
// "TextOutput" naming the case's log file; process settings and counters
// back at their start values.
class PlxLoggingOn {
public:
    PlxLoggingOn(const char* szCase, DWORD ulDetail = PLX_DEFAULT_LOG_DETAIL) : m_log(szCase) {
        g_dynamicLoggingState = 2;  // traces off unless a test turns them on
        g_maxLogFileNum = 1;
        g_maxLogFileSize = 10240;
        g_logBytesWritten = 0;
        g_logRotations = 0;
        m_settings.setDword("Logging", 1);
        m_settings.setDword("LogDetail", ulDetail);
        m_settings.setString("TextOutput", m_log.path());
    }
    ~PlxLoggingOn() {
        g_dynamicLoggingState = 2;
        g_maxLogFileNum = 1;
        g_maxLogFileSize = 10240;
        g_logBytesWritten = 0;
        g_logRotations = 0;
    }
    PlxLogSettings& settings() { return m_settings; }
    PlxTestLog& log() { return m_log; }
    std::vector<std::string> lines() const { return m_log.lines(); }
    // The lines with the time part removed.
    std::vector<std::string> entries() const {
        std::vector<std::string> result;
        for (const std::string& line : m_log.lines()) {
            result.push_back(plxAfterTime(line));
        }
        return result;
    }
    // Method traces on, as if "DynamicLogging" 1 had been read.
    void tracesOn() { g_dynamicLoggingState = 1; }

private:
    PlxLogSettings m_settings;
    PlxTestLog m_log;
};

// Whether some log line contains every one of the pieces.
inline bool plxLogHas(const std::vector<std::string>& lines, std::initializer_list<std::string> pieces) {
    for (const std::string& line : lines) {
        bool bAll = true;
        for (const std::string& piece : pieces) bAll = bAll && line.find(piece) != std::string::npos;
        if (bAll) return true;
    }
    return false;
}

// The executable's name as the log prints it.
inline std::string plxExpectedAppName() {
    WCHAR szPath[1024] = {};
    GetModuleFileNameW(nullptr, szPath, 1024);
    std::string path = plxNarrow(szPath, lstrlenW(szPath));
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

#endif
