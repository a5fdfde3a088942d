// Directory searches: FindFirstFileW, FindNextFileW, FindClose.
#include "internal.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>

namespace plxsim {
namespace {

// Wildcard match as Windows does it: '*' any run, '?' one character, case
// ignored; a trailing ".*" also matches names without a dot ("*.*" is all).
bool wildMatch(const char16_t* pattern, const char16_t* name) {
    for (;;) {
        if (!*pattern) return !*name;
        if (*pattern == u'*') {
            while (*pattern == u'*') ++pattern;
            if (!*pattern) return true;
            for (const char16_t* n = name;; ++n) {
                if (wildMatch(pattern, n)) return true;
                if (!*n) return false;
            }
        }
        if (!*name) return pattern[0] == u'.' && pattern[1] == u'*' && !pattern[2];
        if (*pattern != u'?' && upcaseChar(*pattern) != upcaseChar(*name)) return false;
        ++pattern;
        ++name;
    }
}

struct FoundEntry {
    std::u16string name;
    struct stat st;  // the entry's own (lstat): a link is itself
    DWORD attributes;
};

class SearchObject : public KernelObject {
public:
    std::vector<FoundEntry> entries;
    size_t next = 0;
};

void fill(const FoundEntry& entry, LPWIN32_FIND_DATAW data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = entry.attributes;
    if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) data->dwReserved0 = IO_REPARSE_TAG_SYMLINK;
    fillTimes(entry.st, &data->ftCreationTime, &data->ftLastAccessTime, &data->ftLastWriteTime);
    if (S_ISREG(entry.st.st_mode)) {
        uint64_t size = static_cast<uint64_t>(entry.st.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size);
    }
    size_t n = std::min<size_t>(entry.name.size(), MAX_PATH - 1);
    entry.name.copy(data->cFileName, n);
    data->cFileName[n] = 0;
}

}  // namespace
}  // namespace plxsim

using namespace plxsim;

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    ApiCall call("FindFirstFileW", lpFileName);
    if (call.fault()) return call.fail(INVALID_HANDLE_VALUE);
    std::u16string full;
    DWORD error = 0;
    if (!lpFindFileData || !fullWindowsPath(lpFileName, full, &error)) {
        SetLastError(lpFindFileData ? error : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // A pattern ending in a separator names no file.
    std::u16string given = toU16(lpFileName);
    if (!given.empty() && (given.back() == u'\\' || given.back() == u'/')) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    size_t slash = full.find_last_of(u'\\');
    std::u16string dirPart = full.substr(0, slash + 1);
    std::u16string pattern = full.substr(slash + 1);
    std::string dir;
    if (pattern.empty() || !hostPath(dirPart.c_str(), dir, &error)) {
        SetLastError(pattern.empty() ? ERROR_FILE_NOT_FOUND : error);
        return INVALID_HANDLE_VALUE;
    }
    DIR* d = opendir(dir.c_str());
    if (!d) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // Roots of drives have no "." and ".." entries.
    bool root = dirPart.size() == 3;
    auto search = std::make_unique<SearchObject>();
    std::string prefix = dir == "/" ? "" : dir;
    while (dirent* e = readdir(d)) {
        std::u16string name = fromUtf8(e->d_name);
        bool dots = name == u"." || name == u"..";
        if (dots && root) continue;
        if (!wildMatch(pattern.c_str(), name.c_str())) continue;
        FoundEntry entry;
        entry.name = name;
        std::string host = prefix + "/" + e->d_name;
        if (lstat(host.c_str(), &entry.st) != 0) continue;  // gone meanwhile
        entry.attributes = entryAttributes(host, entry.st);
        search->entries.push_back(entry);
    }
    closedir(d);
    if (search->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // NTFS order: "." and ".." first, then names ignoring case.
    std::sort(search->entries.begin(), search->entries.end(), [](const FoundEntry& a, const FoundEntry& b) {
        bool da = a.name == u"." || a.name == u"..", db = b.name == u"." || b.name == u"..";
        if (da != db) return da;
        std::u16string ua = upcase(a.name), ub = upcase(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    });
    fill(search->entries[0], lpFindFileData);
    search->next = 1;
    SetLastError(ERROR_SUCCESS);
    return addHandle(std::move(search));
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    ApiCall call("FindNextFileW");
    if (call.fault()) return call.fail(FALSE);
    SearchObject* search = findHandleAs<SearchObject>(hFindFile);
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    fill(search->entries[search->next++], lpFindFileData);
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    ApiCall call("FindClose");
    if (call.fault()) return call.fail(FALSE);
    if (!findHandleAs<SearchObject>(hFindFile) || !removeHandle(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
