// CreateFileW dispositions, reading, writing and seeking, copy, move, delete,
// directories and attributes as the system relies on them.
#include "file_conformance.h"
#include "plx_test_machine.h"

using namespace conf;

namespace {

HANDLE openWith(const Text& path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class CreateFileCase : public FileCase {};
class FileCopyMove : public FileCase {};
class DirectoryCase : public FileCase {};

}  // namespace

TEST_F(CreateFileCase, DispositionsOnMissingFile) {
    Text f = path("a.txt");
    SetLastError(1234);
    File missing(openWith(f, GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_FALSE(missing.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    File truncated(openWith(f, GENERIC_WRITE, 0, TRUNCATE_EXISTING));
    EXPECT_FALSE(truncated.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    SetLastError(1234);
    File created(openWith(f, GENERIC_WRITE, 0, OPEN_ALWAYS));
    ASSERT_TRUE(created.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError()) << "OPEN_ALWAYS creating a file";
    created.reset();

    ASSERT_TRUE(DeleteFileW(f.c_str()));
    SetLastError(1234);
    File always(openWith(f, GENERIC_WRITE, 0, CREATE_ALWAYS));
    ASSERT_TRUE(always.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError()) << "CREATE_ALWAYS creating a file";
}

TEST_F(CreateFileCase, DispositionsOnExistingFile) {
    Text f = path("a.txt");
    ASSERT_TRUE(writeFile(f, "hello"));

    SetLastError(1234);
    File opened(openWith(f, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS));
    ASSERT_TRUE(opened.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(5u, GetFileSize(opened.get(), nullptr)) << "OPEN_ALWAYS keeps the content";
    opened.reset();

    File created(openWith(f, GENERIC_WRITE, 0, CREATE_NEW));
    EXPECT_FALSE(created.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());

    SetLastError(1234);
    File existing(openWith(f, GENERIC_READ, 0, OPEN_EXISTING));
    ASSERT_TRUE(existing.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError()) << "OPEN_EXISTING sets no error";
    existing.reset();

    SetLastError(1234);
    File replaced(openWith(f, GENERIC_WRITE, 0, CREATE_ALWAYS));
    ASSERT_TRUE(replaced.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(0u, GetFileSize(replaced.get(), nullptr)) << "CREATE_ALWAYS truncates";
    replaced.reset();

    ASSERT_TRUE(writeFile(f, "hello"));
    File truncated(openWith(f, GENERIC_WRITE, 0, TRUNCATE_EXISTING));
    ASSERT_TRUE(truncated.isValid());
    EXPECT_EQ(0u, GetFileSize(truncated.get(), nullptr));
}

TEST_F(CreateFileCase, MissingDirectoryAndDirectoryAsFile) {
    File inMissing(openWith(path("nodir\\a.txt"), GENERIC_WRITE, 0, CREATE_ALWAYS));
    EXPECT_FALSE(inMissing.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

    ASSERT_TRUE(CreateDirectoryW(path("sub").c_str(), nullptr));
    File dir(openWith(path("sub"), GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_FALSE(dir.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST_F(CreateFileCase, WriteAppendAtEndAndRead) {
    Text f = path("log.txt");
    {
        File file(openWith(f, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS));
        ASSERT_TRUE(file.isValid());
        DWORD n = 0;
        ASSERT_TRUE(WriteFile(file.get(), "one\n", 4, &n, nullptr));
        EXPECT_EQ(4u, n);
    }
    {
        File file(openWith(f, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS));
        ASSERT_TRUE(file.isValid());
        EXPECT_EQ(4u, SetFilePointer(file.get(), 0, nullptr, FILE_END));
        DWORD n = 0;
        ASSERT_TRUE(WriteFile(file.get(), "two\n", 4, &n, nullptr));
        EXPECT_EQ(8u, GetFileSize(file.get(), nullptr));
        EXPECT_EQ(2u, SetFilePointer(file.get(), -6, nullptr, FILE_CURRENT));
        EXPECT_EQ(1u, SetFilePointer(file.get(), 1, nullptr, FILE_BEGIN));
    }
    EXPECT_EQ("one\ntwo\n", readFile(f));

    File reader(openWith(f, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    ASSERT_TRUE(reader.isValid());
    char buffer[16] = {};
    DWORD n = 99;
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(reader.get(), -1, nullptr, FILE_BEGIN));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NEGATIVE_SEEK), GetLastError());
    ASSERT_TRUE(ReadFile(reader.get(), buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(8u, n) << "a short read at the end is a success";
    ASSERT_TRUE(ReadFile(reader.get(), buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(0u, n) << "reading at the end gives 0 bytes and TRUE";
    EXPECT_FALSE(WriteFile(reader.get(), "x", 1, &n, nullptr)) << "no write access";
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST_F(CreateFileCase, SetFilePointerWithHighPart) {
    Text f = path("a.bin");
    ASSERT_TRUE(writeFile(f, "0123456789"));
    File file(openWith(f, GENERIC_READ, 0, OPEN_EXISTING));
    ASSERT_TRUE(file.isValid());
    LONG high = 0;
    EXPECT_EQ(10u, SetFilePointer(file.get(), 0, &high, FILE_END));
    EXPECT_EQ(0, high);
    DWORD sizeHigh = 77;
    EXPECT_EQ(10u, GetFileSize(file.get(), &sizeHigh));
    EXPECT_EQ(0u, sizeHigh);
}

TEST_F(CreateFileCase, CloseHandleTwiceFails) {
    HANDLE file = openWith(path("a.txt"), GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(CloseHandle(file));
    // Closing an invalid handle raises an exception under a debugger on Windows; none is attached here.
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(CreateFileCase, ShareModesWithinTheProcess) {
    Text f = path("shared.txt");
    ASSERT_TRUE(writeFile(f, "x"));
    File exclusive(openWith(f, GENERIC_READ, 0, OPEN_EXISTING));
    ASSERT_TRUE(exclusive.isValid());
    File second(openWith(f, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    EXPECT_FALSE(second.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    exclusive.reset();

    File reader(openWith(f, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    ASSERT_TRUE(reader.isValid());
    File otherReader(openWith(f, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_TRUE(otherReader.isValid()) << "readers that share reading";
    File writer(openWith(f, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_FALSE(writer.isValid()) << "the readers do not share writing";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    File narrow(openWith(f, GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_FALSE(narrow.isValid()) << "a new handle must share what the open ones hold";

    EXPECT_FALSE(DeleteFileW(f.c_str())) << "open without FILE_SHARE_DELETE";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    reader.reset();
    otherReader.reset();
    EXPECT_TRUE(DeleteFileW(f.c_str()));
}

// FILE_FLAG_DELETE_ON_CLOSE takes delete access, which other handles must share.
TEST_F(CreateFileCase, DeleteOnCloseRemovesTheFile) {
    Text f = path("temp.txt");
    File temp(CreateFileW(f.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                          FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(temp.isValid()) << GetLastError();
    EXPECT_FALSE(File(openWith(f, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING)).isValid());
    EXPECT_TRUE(File(openWith(f, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING))
                    .isValid());
    temp.reset();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(f.c_str()));
}

TEST_F(FileCopyMove, CopyFileReplaceSemantics) {
    Text a = path("a.txt"), b = path("b.txt");
    ASSERT_TRUE(writeFile(a, "new"));
    ASSERT_TRUE(CopyFileW(a.c_str(), b.c_str(), TRUE));
    EXPECT_EQ("new", readFile(b));

    ASSERT_TRUE(writeFile(b, "old content"));
    EXPECT_FALSE(CopyFileW(a.c_str(), b.c_str(), TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
    EXPECT_EQ("old content", readFile(b));
    EXPECT_TRUE(CopyFileW(a.c_str(), b.c_str(), FALSE));
    EXPECT_EQ("new", readFile(b));

    EXPECT_FALSE(CopyFileW(a.c_str(), path("A.TXT").c_str(), FALSE)) << "onto itself";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_EQ("new", readFile(a));

    EXPECT_FALSE(CopyFileW(path("missing.txt").c_str(), b.c_str(), FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(CopyFileW(a.c_str(), path("nodir\\b.txt").c_str(), FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(FileCopyMove, MoveFileExReplaceSemantics) {
    Text a = path("lib.dll"), bak = path("lib.dll.bak");
    ASSERT_TRUE(writeFile(a, "installed"));
    ASSERT_TRUE(writeFile(bak, "older backup"));
    EXPECT_FALSE(MoveFileExW(a.c_str(), bak.c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ("installed", readFile(a));

    EXPECT_TRUE(MoveFileExW(a.c_str(), bak.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ("installed", readFile(bak));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(a.c_str()));

    EXPECT_FALSE(MoveFileExW(a.c_str(), bak.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    EXPECT_TRUE(MoveFileExW(bak.c_str(), a.c_str(), 0));
    EXPECT_EQ("installed", readFile(a));
    ASSERT_TRUE(CreateDirectoryW(bak.c_str(), nullptr));
    EXPECT_FALSE(MoveFileExW(a.c_str(), bak.c_str(), MOVEFILE_REPLACE_EXISTING)) << "onto a folder";
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

    EXPECT_TRUE(MoveFileExW(a.c_str(), path("LIB.dll").c_str(), 0)) << "a new case of the same name";
    WIN32_FIND_DATAW data;
    CPLXScopedFindHandle search(FindFirstFileW(path("lib.dll").c_str(), &data));
    ASSERT_TRUE(search.isValid());
    // Wine keeps the old case: its lookup of the new name finds the existing file.
    if (!plxIsWine()) {
        EXPECT_EQ("LIB.dll", plxNarrow(data.cFileName));
    }
}

TEST_F(FileCopyMove, MoveFileExDoesNotReplaceAReadOnlyFile) {
    if (plxIsWine()) GTEST_SKIP() << "Wine 8 replaces a read-only file";
    Text a = path("new.dll"), ro = path("ro.dll");
    ASSERT_TRUE(writeFile(a, "new") && writeFile(ro, "kept"));
    ASSERT_TRUE(SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(MoveFileExW(a.c_str(), ro.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ("kept", readFile(ro));
    SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileCopyMove, DeleteFile) {
    Text a = path("a.txt");
    ASSERT_TRUE(writeFile(a, "x"));
    EXPECT_TRUE(DeleteFileW(a.c_str()));
    EXPECT_FALSE(DeleteFileW(a.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(DeleteFileW(path("nodir\\a.txt").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    ASSERT_TRUE(CreateDirectoryW(path("sub").c_str(), nullptr));
    EXPECT_FALSE(DeleteFileW(path("sub").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST_F(DirectoryCase, CreateDirectoryErrors) {
    Text sub = path("sub");
    EXPECT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryW(sub.c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    ASSERT_TRUE(writeFile(path("file"), "x"));
    EXPECT_FALSE(CreateDirectoryW(path("file").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_FALSE(CreateDirectoryW(path("missing\\sub").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_TRUE(CreateDirectoryW(path("sub\\deeper\\").c_str(), nullptr)) << "a trailing separator is accepted";
}

TEST_F(DirectoryCase, RemoveDirectory) {
    Text sub = path("sub");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    ASSERT_TRUE(writeFile(sub + plxW("\\f"), "x"));
    EXPECT_FALSE(RemoveDirectoryW(sub.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), GetLastError());
    ASSERT_TRUE(DeleteFileW((sub + plxW("\\f")).c_str()));
    EXPECT_TRUE(RemoveDirectoryW(sub.c_str()));
    EXPECT_FALSE(RemoveDirectoryW(sub.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(DirectoryCase, FileAttributes) {
    ASSERT_TRUE(writeFile(path("f.txt"), "x"));
    DWORD file = GetFileAttributesW(path("f.txt").c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, file);
    EXPECT_EQ(0u, file & FILE_ATTRIBUTE_DIRECTORY);
    DWORD dir = GetFileAttributesW(m_dir.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, dir);
    EXPECT_NE(0u, dir & FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path("none.txt").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path("nodir\\none.txt").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path("f.txt\\").c_str())) << "a file is no directory";
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path("f.txt\\x").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(dir, GetFileAttributesW((m_dir + plxW("\\")).c_str())) << "a directory with a trailing separator";
}

TEST_F(DirectoryCase, ReadOnlyAttributeStopsDeleting) {
    Text f = path("ro.txt");
    ASSERT_TRUE(writeFile(f, "kept"));
    ASSERT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY)) << GetLastError();
    EXPECT_NE(0u, GetFileAttributesW(f.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileW(f.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ("kept", readFile(f));

    ASSERT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(0u, GetFileAttributesW(f.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFileW(f.c_str()));
    EXPECT_FALSE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(DirectoryCase, ReadOnlyFileCannotBeOpenedForWriting) {
    if (plxIsWine()) GTEST_SKIP() << "Wine leaves write protection to the host's permissions, which root passes";
    Text f = path("ro.txt");
    ASSERT_TRUE(writeFile(f, "kept"));
    ASSERT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY));
    const DWORD dispositions[] = {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS, TRUNCATE_EXISTING};
    for (DWORD disposition : dispositions) {
        File writer(openWith(f, GENERIC_WRITE, 0, disposition));
        EXPECT_FALSE(writer.isValid()) << disposition;
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError()) << disposition;
    }
    EXPECT_EQ("kept", readFile(f));
    SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DirectoryCase, NamesIgnoreCaseAndAcceptBothSeparators) {
    ASSERT_TRUE(CreateDirectoryW(path("MixedCase").c_str(), nullptr));
    ASSERT_TRUE(writeFile(path("MixedCase\\File.TXT"), "abc"));
    EXPECT_EQ("abc", readFile(path("mixedcase\\file.txt")));
    EXPECT_EQ("abc", readFile(path("MIXEDCASE/FILE.txt")));
    EXPECT_FALSE(CreateDirectoryW(path("MIXEDCASE").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ("abc", readFile(path("MixedCase\\..\\MixedCase\\.\\File.TXT")));
}
