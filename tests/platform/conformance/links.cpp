// Hard links, symbolic links and what GetFileInformationByHandle says of a
// file.  Wine 8's CreateSymbolicLinkW answers TRUE and makes nothing, so the
// symbolic link cases are skipped under Wine.
#include "file_conformance.h"
#include "plx_test_machine.h"

using namespace conf;

namespace {

class Links : public FileCase {};

const char kNoSymbolicLinks[] = "Wine 8's CreateSymbolicLinkW answers TRUE and makes nothing";

// What GetFileInformationByHandle says of a file opened with flags; zeros when it cannot.
BY_HANDLE_FILE_INFORMATION informationOf(const Text& path, DWORD flags = 0) {
    BY_HANDLE_FILE_INFORMATION info = {};
    File file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr));
    EXPECT_TRUE(file.isValid() && GetFileInformationByHandle(file.get(), &info)) << plxNarrow(path) << GetLastError();
    return info;
}

bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

TEST_F(Links, HardLinkIsASecondNameOfTheFile) {
    Text a = path("a.dll"), b = path("b.dll");
    // The flag changes nothing on a file that is not a link.
    File(CreateFileW(a.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION alone = informationOf(a);
    EXPECT_EQ(1u, alone.nNumberOfLinks);
    EXPECT_EQ(0u, alone.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
    ASSERT_TRUE(CreateHardLinkW(b.c_str(), a.c_str(), nullptr)) << GetLastError();
    EXPECT_EQ(2u, informationOf(a).nNumberOfLinks);
    EXPECT_TRUE(sameFile(alone, informationOf(b)));
    ASSERT_TRUE(writeFile(b, "two"));
    EXPECT_EQ("two", readFile(a)) << "written through one name, seen under the other";
    EXPECT_EQ(3u, informationOf(a).nFileSizeLow);

    const struct {
        const char *link, *existing;
        DWORD error;
    } rows[] = {{"b.dll", "a.dll", ERROR_ALREADY_EXISTS},
                {"c.dll", "missing.dll", ERROR_FILE_NOT_FOUND},
                {"c.dll", "nodir\\a.dll", ERROR_PATH_NOT_FOUND},
                {"c.dll", "..", ERROR_ACCESS_DENIED}};  // a directory
    for (const auto& row : rows) {
        EXPECT_FALSE(CreateHardLinkW(path(row.link).c_str(), path(row.existing).c_str(), nullptr)) << row.link;
        EXPECT_EQ(row.error, GetLastError()) << row.link << " to " << row.existing;
    }
}

TEST_F(Links, MovingAHardLinkOntoAnotherNameOfTheSameFile) {
    if (plxIsWine()) GTEST_SKIP() << "Wine 8 renames as the host does: it answers TRUE and keeps both names";
    Text a = path("a.dll"), b = path("b.dll");
    ASSERT_TRUE(writeFile(a, "one") && CreateHardLinkW(b.c_str(), a.c_str(), nullptr));
    EXPECT_FALSE(MoveFileExW(b.c_str(), a.c_str(), 0)) << "the other name is taken";
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_TRUE(MoveFileExW(b.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING)) << GetLastError();
    EXPECT_EQ(1u, informationOf(a).nNumberOfLinks) << "the moved name is gone";
}

TEST_F(Links, SymbolicLinkToAFileIsAReparsePointThatOpensItsTarget) {
    if (plxIsWine()) GTEST_SKIP() << kNoSymbolicLinks;
    Text target = path("Target.txt"), link = path("sub\\link.txt");
    ASSERT_TRUE(writeFile(target, "target") && CreateDirectoryW(path("sub").c_str(), nullptr));
    ASSERT_TRUE(CreateSymbolicLinkW(link.c_str(), TEXT("..\\TARGET.TXT"), 0)) << GetLastError();
    EXPECT_FALSE(CreateSymbolicLinkW(link.c_str(), TEXT("x"), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    WIN32_FIND_DATAW found = {};
    CPLXScopedFindHandle(FindFirstFileW(link.c_str(), &found));  // closed at once: only the data counts
    const DWORD kinds = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_EQ(FILE_ATTRIBUTE_REPARSE_POINT, found.dwFileAttributes & kinds);
    EXPECT_EQ(static_cast<DWORD>(IO_REPARSE_TAG_SYMLINK), found.dwReserved0);
    EXPECT_EQ(found.dwFileAttributes, GetFileAttributesW(link.c_str()));
    EXPECT_EQ("target", readFile(link)) << "opened without the flag, a link leads to its target";
    BY_HANDLE_FILE_INFORMATION itself = informationOf(link, FILE_FLAG_OPEN_REPARSE_POINT);
    EXPECT_NE(0u, itself.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_FALSE(sameFile(itself, informationOf(target)));
    EXPECT_TRUE(DeleteFileW(link.c_str()));
    EXPECT_EQ("target", readFile(target)) << "deleting the link leaves its target";
}

TEST_F(Links, SymbolicLinkToADirectoryIsADirectoryThatRemoveDirectoryRemoves) {
    if (plxIsWine()) GTEST_SKIP() << kNoSymbolicLinks;
    Text link = path("dirlink");
    ASSERT_TRUE(CreateDirectoryW(path("dir").c_str(), nullptr) && writeFile(path("dir\\f.txt"), "inside"));
    ASSERT_TRUE(CreateSymbolicLinkW(link.c_str(), path("dir").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
    const DWORD both = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    EXPECT_EQ(both, GetFileAttributesW(link.c_str()) & both);
    EXPECT_FALSE(DeleteFileW(link.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(RemoveDirectoryW(link.c_str())) << GetLastError();
    EXPECT_EQ("inside", readFile(path("dir\\f.txt")));
}

TEST(LinksStandardUser, MayNotLinkSymbolicallyNorIntoClosedFolders) {
    if (!TestMachine::canSetMachineIni()) GTEST_SKIP() << "needs a standard user (machine.ini)";
    TestMachine m;
    m.file("C:\\ProgramData\\a.dll", "x").ini("User", "Administrator", "0").create();
    EXPECT_FALSE(CreateSymbolicLinkW(TEXT("C:\\ProgramData\\link.dll"), TEXT("a.dll"), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD), GetLastError());
    EXPECT_FALSE(CreateHardLinkW(TEXT("C:\\Program Files\\a.dll"), TEXT("C:\\ProgramData\\a.dll"), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}
