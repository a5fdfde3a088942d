// Shared pieces of the file, text and process conformance cases: each file
// case works in its own directory C:\plxconformance\<case>, emptied before and
// removed after the case.
#ifndef PLX_FILE_CONFORMANCE_H
#define PLX_FILE_CONFORMANCE_H

#include "plx_scoped_handle.h"
#include "plx_test_text.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace conf {

typedef PlxWString Text;

// A file handle that closes itself.
typedef CPLXScopedKernelHandle File;

// Removes a directory tree through Win32 (FindFirstFileW, DeleteFileW, RemoveDirectoryW).
inline void removeTree(const Text& dir) {
    WIN32_FIND_DATAW data;
    CPLXScopedFindHandle search(FindFirstFileW((dir + plxW("\\*")).c_str(), &data));
    if (search.isValid()) {
        do {
            Text name = data.cFileName;
            if (name == plxW(".") || name == plxW("..")) continue;
            Text path = dir + plxW("\\") + name;
            const DWORD linkToDirectory = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
            // A link to a directory goes alone, never what its target holds.
            if ((data.dwFileAttributes & linkToDirectory) == linkToDirectory)
                RemoveDirectoryW(path.c_str());
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search.get(), &data));
        search.reset();  // a directory being searched cannot be removed
    }
    RemoveDirectoryW(dir.c_str());
}

// Writes a whole file; false on failure.
inline bool writeFile(const Text& path, const std::string& bytes) {
    File file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.isValid() && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The whole content of a file; "<missing>" when it cannot be opened.
inline std::string readFile(const Text& path) {
    File file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
    if (!file.isValid()) return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    return bytes;
}

// A case with its own empty directory C:\plxconformance\<case>.
class FileCase : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(plxW("C:\\plxconformance").c_str(), nullptr);
        m_dir = plxW("C:\\plxconformance\\") + plxW(::testing::UnitTest::GetInstance()->current_test_info()->name());
        removeTree(m_dir);
        ASSERT_TRUE(CreateDirectoryW(m_dir.c_str(), nullptr)) << GetLastError();
    }
    void TearDown() override { removeTree(m_dir); }

    Text path(const char* name) const { return m_dir + plxW("\\") + plxW(name); }

    Text m_dir;
};

}  // namespace conf

#endif
