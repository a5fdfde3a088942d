// Helpers of the core type tests: strings from ASCII literals, ASCII views of
// strings, and the diagnostic log entries of one test.
#ifndef PLX_CORE_TEST_UTIL_H
#define PLX_CORE_TEST_UTIL_H

#include <string>
#include <vector>

#include "../logging/plx_log_test_env.h"
#include "plx_wchar_string.h"

// A string from ASCII text ("" gives an invalid string).
inline CPLXWCharString plxStr(const char* szText) { return CPLXWCharString(plxW(szText).c_str()); }

// The text of a string as ASCII; "<invalid>" for an invalid string.
inline std::string plxText(const CPLXWCharString& text) {
    if (!text.isValid()) {
        return "<invalid>";
    }
    return plxNarrow(text.c_str(), text.getLength());
}

// How many log entries contain the fragment.
inline size_t plxCountEntries(const std::vector<std::string>& entries, const std::string& fragment) {
    size_t count = 0;
    for (const std::string& entry : entries) {
        if (entry.find(fragment) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

#endif
