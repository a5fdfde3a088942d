// Helpers of the core type tests: the text of strings, and the diagnostic log
// entries of one test.
#ifndef PLX_CORE_TEST_UTIL_H
#define PLX_CORE_TEST_UTIL_H

#include <string>
#include <vector>

#include "../logging/plx_log_test_env.h"
#include "plx_wchar_string.h"

// The text of a string as UTF-8, "<invalid>" for an invalid string: the
// core tests tell an invalid string from an empty one.
inline std::string plxText(const CPLXWCharString& text) {
    if (!text.isValid()) {
        return "<invalid>";
    }
    return plxNarrow(text);
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
