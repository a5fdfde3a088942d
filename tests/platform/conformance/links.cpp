// Hard links, symbolic links and what GetFileInformationByHandle says of a
// file.  Wine 8's CreateSymbolicLinkW answers TRUE and makes nothing, so the
// symbolic link cases are skipped under Wine.
#include "file_conformance.h"
#include "plx_test_machine.h"

using namespace conf;

namespace {

class HardLink : public FileCase {};
class SymbolicLink : public FileCase {};
class FileInformation : public FileCase {};

const char kNoSymbolicLinks[] = "Wine 8's CreateSymbolicLinkW answers TRUE and makes nothing";

HANDLE openWith(const Text& path, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       disposition, flags, nullptr);
}

// What GetFileInformationByHandle says of the file; nNumberOfLinks is 0 when it failed.
BY_HANDLE_FILE_INFORMATION informationOf(const Text& path, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    BY_HANDLE_FILE_INFORMATION info = {};
    File file(openWith(path, GENERIC_READ, OPEN_EXISTING, flags));
    EXPECT_TRUE(file.valid()) << narrow(path) << ": " << GetLastError();
    if (file.valid()) {
        EXPECT_TRUE(GetFileInformationByHandle(file.get(), &info)) << GetLastError();
    }
    return info;
}

bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

TEST_F(FileInformation, OfAFileCreatedWithTheReparsePointFlag) {
    Text f = path("plain.txt");
    File file(openWith(f, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT));
    ASSERT_TRUE(file.valid()) << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), "12345", 5, &written, nullptr)) << "the flag changes nothing on a plain file";
    BY_HANDLE_FILE_INFORMATION info = {};
    ASSERT_TRUE(GetFileInformationByHandle(file.get(), &info)) << GetLastError();
    EXPECT_EQ(1u, info.nNumberOfLinks);
    EXPECT_EQ(0u, info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(5u, info.nFileSizeLow);
    EXPECT_EQ(0u, info.nFileSizeHigh);
    EXPECT_NE(0u, info.ftLastWriteTime.dwLowDateTime | info.ftLastWriteTime.dwHighDateTime);
}

TEST_F(HardLink, TwoNamesOfOneFile) {
    Text a = path("a.dll"), b = path("b.dll");
    ASSERT_TRUE(writeFile(a, "one"));
    ASSERT_TRUE(CreateHardLinkW(b.c_str(), a.c_str(), nullptr)) << GetLastError();
    BY_HANDLE_FILE_INFORMATION first = informationOf(a), second = informationOf(b);
    EXPECT_EQ(2u, first.nNumberOfLinks);
    EXPECT_TRUE(sameFile(first, second));
    {
        File writer(openWith(b, GENERIC_WRITE, OPEN_EXISTING));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(writer.get(), "two", 3, &written, nullptr));
    }
    EXPECT_EQ("two", readFile(a)) << "written through one name, seen under the other";
    ASSERT_TRUE(DeleteFileW(a.c_str()));
    EXPECT_EQ(1u, informationOf(b).nNumberOfLinks);
}

TEST_F(HardLink, MovedOntoAnotherNameOfTheSameFile) {
    if (plxIsWine()) GTEST_SKIP() << "Wine 8 renames as the host does: it answers TRUE and keeps both names";
    Text a = path("a.dll"), b = path("b.dll");
    ASSERT_TRUE(writeFile(a, "one"));
    ASSERT_TRUE(CreateHardLinkW(b.c_str(), a.c_str(), nullptr)) << GetLastError();
    EXPECT_FALSE(MoveFileExW(b.c_str(), a.c_str(), 0)) << "the other name is taken";
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_TRUE(MoveFileExW(b.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING)) << GetLastError();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(b.c_str()));
    EXPECT_EQ(1u, informationOf(a).nNumberOfLinks);
}

TEST_F(HardLink, Errors) {
    Text a = path("a.dll");
    ASSERT_TRUE(writeFile(a, "one"));
    ASSERT_TRUE(writeFile(path("taken.dll"), "x"));
    ASSERT_TRUE(CreateDirectoryW(path("dir").c_str(), nullptr));
    struct Row {
        const char *link, *existing;
        DWORD error;
    };
    const Row rows[] = {
        {"taken.dll", "a.dll", ERROR_ALREADY_EXISTS},
        {"new.dll", "missing.dll", ERROR_FILE_NOT_FOUND},
        {"new.dll", "nodir\\a.dll", ERROR_PATH_NOT_FOUND},
        {"new.dll", "dir", ERROR_ACCESS_DENIED},
        {"nodir\\new.dll", "a.dll", ERROR_PATH_NOT_FOUND},
    };
    for (const Row& row : rows) {
        EXPECT_FALSE(CreateHardLinkW(path(row.link).c_str(), path(row.existing).c_str(), nullptr)) << row.link;
        EXPECT_EQ(row.error, GetLastError()) << row.link << " to " << row.existing;
    }
    EXPECT_EQ("x", readFile(path("taken.dll")));
}

TEST_F(SymbolicLink, ToAFileIsAReparsePointThatOpensItsTarget) {
    if (plxIsWine()) GTEST_SKIP() << kNoSymbolicLinks;
    Text target = path("Target.txt"), link = path("sub\\link.txt");
    ASSERT_TRUE(writeFile(target, "target"));
    ASSERT_TRUE(CreateDirectoryW(path("sub").c_str(), nullptr));
    ASSERT_TRUE(CreateSymbolicLinkW(link.c_str(), TEXT("..\\TARGET.TXT"), 0)) << GetLastError();
    EXPECT_FALSE(CreateSymbolicLinkW(link.c_str(), TEXT("..\\Target.txt"), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());

    DWORD attributes = GetFileAttributesW(link.c_str());
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(0u, attributes & FILE_ATTRIBUTE_DIRECTORY);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(link.c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    FindClose(search);
    EXPECT_EQ(attributes, found.dwFileAttributes);
    EXPECT_EQ(static_cast<DWORD>(IO_REPARSE_TAG_SYMLINK), found.dwReserved0);

    EXPECT_EQ("target", readFile(link)) << "opened without the flag, the link leads to its target";
    BY_HANDLE_FILE_INFORMATION itself = informationOf(link, FILE_FLAG_OPEN_REPARSE_POINT);
    EXPECT_NE(0u, itself.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_FALSE(sameFile(itself, informationOf(target)));
    EXPECT_TRUE(sameFile(informationOf(link), informationOf(target)));

    EXPECT_TRUE(DeleteFileW(link.c_str()));
    EXPECT_EQ("target", readFile(target)) << "deleting the link leaves its target";
}

TEST_F(SymbolicLink, ToADirectoryIsADirectoryThatRemoveDirectoryRemoves) {
    if (plxIsWine()) GTEST_SKIP() << kNoSymbolicLinks;
    Text link = path("dirlink");
    ASSERT_TRUE(CreateDirectoryW(path("dir").c_str(), nullptr));
    ASSERT_TRUE(writeFile(path("dir\\f.txt"), "inside"));
    ASSERT_TRUE(CreateSymbolicLinkW(link.c_str(), path("dir").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              GetFileAttributesW(link.c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ("inside", readFile(path("dirlink\\f.txt")));
    EXPECT_FALSE(DeleteFileW(link.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(RemoveDirectoryW(link.c_str())) << GetLastError();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(link.c_str()));
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
    EXPECT_TRUE(CreateHardLinkW(TEXT("C:\\ProgramData\\b.dll"), TEXT("C:\\ProgramData\\a.dll"), nullptr));
}
