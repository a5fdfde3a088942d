// A library another program has loaded (the web browser's add-on): Windows
// keeps its image from changing, so it cannot be written, truncated, deleted
// or replaced, while it can be read and renamed, and stays loaded under its
// new name.  Here this process loads it (PlxLoadedImage); Windows and Wine 8
// agree.
#include "file_conformance.h"
#include "plx_test_machine.h"

#include <functional>

using namespace conf;

namespace {

class LoadedFile : public FileCase {
protected:
    // A copy of the stand-in library in the case's directory.
    Text library(const char* name) {
        Text copy = path(name);
        EXPECT_TRUE(CopyFileW(text(plxStandInLibrary().c_str()).c_str(), copy.c_str(), FALSE)) << GetLastError();
        return copy;
    }
};

BOOL opens(const Text& file, DWORD access, DWORD disposition) {
    File handle(CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle.valid();
}

}  // namespace

TEST_F(LoadedFile, CannotBeWrittenTruncatedDeletedOrReplaced) {
    Text dll = library("addon.dll"), other = path("other.dll");
    ASSERT_TRUE(writeFile(other, "other"));
    const std::string bytes = readFile(dll);
    PlxLoadedImage image(narrow(dll));
    ASSERT_TRUE(image.loaded()) << GetLastError();
    struct Row {
        const char* what;
        std::function<BOOL()> call;
        DWORD error;
    };
    const Row rows[] = {
        {"opened for writing", [&] { return opens(dll, GENERIC_WRITE, OPEN_EXISTING); }, ERROR_SHARING_VIOLATION},
        {"replaced by CREATE_ALWAYS", [&] { return opens(dll, GENERIC_WRITE, CREATE_ALWAYS); },
         ERROR_SHARING_VIOLATION},
        {"truncated by TRUNCATE_EXISTING", [&] { return opens(dll, GENERIC_WRITE, TRUNCATE_EXISTING); },
         ERROR_SHARING_VIOLATION},
        {"deleted", [&] { return DeleteFileW(dll.c_str()); }, ERROR_ACCESS_DENIED},
        {"copied onto", [&] { return CopyFileW(other.c_str(), dll.c_str(), FALSE); }, ERROR_SHARING_VIOLATION},
        {"replaced by a move", [&] { return MoveFileExW(other.c_str(), dll.c_str(), MOVEFILE_REPLACE_EXISTING); },
         ERROR_ACCESS_DENIED},
    };
    for (const Row& row : rows) {
        SetLastError(0);
        EXPECT_FALSE(row.call()) << row.what;
        EXPECT_EQ(row.error, GetLastError()) << row.what;
    }
    EXPECT_EQ(bytes, readFile(dll)) << "reading is allowed, and nothing changed";
    EXPECT_EQ("other", readFile(other));
}

TEST_F(LoadedFile, StaysLoadedUnderItsNewNameAndTheOldNameIsFree) {
    Text dll = library("addon.dll"), moved = path("addon.dll.old");
    {
        PlxLoadedImage image(narrow(dll));
        ASSERT_TRUE(image.loaded()) << GetLastError();
        ASSERT_TRUE(MoveFileExW(dll.c_str(), moved.c_str(), 0)) << GetLastError();
        EXPECT_FALSE(DeleteFileW(moved.c_str()));
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
        ASSERT_TRUE(writeFile(dll, "new")) << "a new file under the old name is not loaded";
        EXPECT_TRUE(DeleteFileW(dll.c_str())) << GetLastError();
    }
    EXPECT_TRUE(DeleteFileW(moved.c_str())) << "unloaded: " << GetLastError();
}
