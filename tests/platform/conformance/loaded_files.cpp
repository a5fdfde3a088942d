// A library another program has loaded (the web browser's add-on): Windows
// keeps its image from changing, so it cannot be written, deleted or
// replaced, while it can be read and renamed, and stays loaded under its new
// name.  Here this process loads it (PlxLoadedImage); Windows and Wine 8 agree.
#include "file_conformance.h"
#include "plx_test_machine.h"

#include <functional>

using namespace conf;

namespace {

class LoadedFile : public FileCase {
protected:
    void SetUp() override {
        FileCase::SetUp();
        m_dll = path("addon.dll");
        ASSERT_TRUE(CopyFileW(plxW(plxStandInLibrary().c_str()).c_str(), m_dll.c_str(), FALSE)) << GetLastError();
    }
    Text m_dll;
};

BOOL opens(const Text& file, DWORD disposition) {
    File handle(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle.isValid();
}

}  // namespace

TEST_F(LoadedFile, CannotBeWrittenDeletedOrReplaced) {
    Text other = path("other.dll");
    ASSERT_TRUE(writeFile(other, "other"));
    const std::string bytes = readFile(m_dll);
    PlxLoadedImage image(plxNarrow(m_dll));
    ASSERT_TRUE(image.loaded()) << GetLastError();
    const struct {
        const char* what;
        std::function<BOOL()> call;
        DWORD error;
    } rows[] = {
        {"opened for writing", [&] { return opens(m_dll, OPEN_EXISTING); }, ERROR_SHARING_VIOLATION},
        {"replaced by CREATE_ALWAYS", [&] { return opens(m_dll, CREATE_ALWAYS); }, ERROR_SHARING_VIOLATION},
        {"truncated", [&] { return opens(m_dll, TRUNCATE_EXISTING); }, ERROR_SHARING_VIOLATION},
        {"deleted", [&] { return DeleteFileW(m_dll.c_str()); }, ERROR_ACCESS_DENIED},
        {"copied onto", [&] { return CopyFileW(other.c_str(), m_dll.c_str(), FALSE); }, ERROR_SHARING_VIOLATION},
        {"moved onto", [&] { return MoveFileExW(other.c_str(), m_dll.c_str(), MOVEFILE_REPLACE_EXISTING); },
         ERROR_ACCESS_DENIED},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(row.call()) << row.what;
        EXPECT_EQ(row.error, GetLastError()) << row.what;
    }
    EXPECT_EQ(bytes, readFile(m_dll)) << "it can be read, and nothing changed";
}

TEST_F(LoadedFile, StaysLoadedUnderItsNewNameAndTheOldNameIsFree) {
    Text moved = path("addon.dll.old");
    {
        PlxLoadedImage image(plxNarrow(m_dll));
        ASSERT_TRUE(image.loaded()) << GetLastError();
        ASSERT_TRUE(MoveFileExW(m_dll.c_str(), moved.c_str(), 0)) << GetLastError();
        EXPECT_FALSE(DeleteFileW(moved.c_str()));
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
        ASSERT_TRUE(writeFile(m_dll, "new"));
        EXPECT_TRUE(DeleteFileW(m_dll.c_str())) << "a new file under the old name is not loaded";
    }
    EXPECT_TRUE(DeleteFileW(moved.c_str())) << "unloaded: " << GetLastError();
}
