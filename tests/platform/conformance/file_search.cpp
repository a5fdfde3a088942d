// FindFirstFileW / FindNextFileW patterns.
#include "file_conformance.h"

#include <algorithm>
#include <vector>

using namespace conf;

namespace {

class FileSearch : public FileCase {
protected:
    void SetUp() override {
        FileCase::SetUp();
        ASSERT_TRUE(writeFile(path("alpha.txt"), "12345"));
        ASSERT_TRUE(writeFile(path("beta.TXT"), ""));
        ASSERT_TRUE(writeFile(path("gamma.dll"), ""));
        ASSERT_TRUE(writeFile(path("noext"), ""));
        ASSERT_TRUE(CreateDirectoryW(path("subdir").c_str(), nullptr));
    }

    // Sorted names that a pattern in the case directory finds; empty with lastError set when none.
    std::vector<std::string> find(const char* pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data;
        CPLXScopedFindHandle search(FindFirstFileW(path(pattern).c_str(), &data));
        if (!search.isValid()) {
            lastError = GetLastError();
            return names;
        }
        do names.push_back(plxNarrow(data.cFileName));
        while (FindNextFileW(search.get(), &data));
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
        EXPECT_TRUE(search.reset());
        std::sort(names.begin(), names.end());
        return names;
    }

    DWORD lastError = 0;
};

typedef std::vector<std::string> Names;

}  // namespace

TEST_F(FileSearch, StarListsEverythingWithDotEntries) {
    EXPECT_EQ((Names{".", "..", "alpha.txt", "beta.TXT", "gamma.dll", "noext", "subdir"}), find("*"));
    EXPECT_EQ((Names{".", "..", "alpha.txt", "beta.TXT", "gamma.dll", "noext", "subdir"}), find("*.*"))
        << "*.* also matches names without a dot";
}

TEST_F(FileSearch, ExtensionAndQuestionMarkPatterns) {
    EXPECT_EQ((Names{"alpha.txt", "beta.TXT"}), find("*.txt")) << "case is ignored";
    EXPECT_EQ((Names{"beta.TXT"}), find("b???.txt"));
    EXPECT_EQ((Names{"gamma.dll"}), find("GAMMA.DLL"));
    EXPECT_EQ((Names{"alpha.txt"}), find("a*"));
}

TEST_F(FileSearch, NoMatchAndMissingDirectory) {
    EXPECT_TRUE(find("*.exe").empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), lastError);
    EXPECT_TRUE(find("nodir\\*").empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), lastError);
}

TEST_F(FileSearch, FindDataDescribesTheEntry) {
    WIN32_FIND_DATAW data;
    CPLXScopedFindHandle search(FindFirstFileW(path("alpha.txt").c_str(), &data));
    ASSERT_TRUE(search.isValid());
    EXPECT_EQ("alpha.txt", plxNarrow(data.cFileName));
    EXPECT_EQ(5u, data.nFileSizeLow);
    EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(FindNextFileW(search.get(), &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());

    search.reset(FindFirstFileW(path("subdir").c_str(), &data));
    ASSERT_TRUE(search.isValid());
    EXPECT_NE(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
