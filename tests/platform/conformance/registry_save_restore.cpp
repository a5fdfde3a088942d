// RegSaveKeyW and RegRestoreKeyW: the backup and restore privileges, refusing
// to overwrite a file, and a key tree carried to another key through a file.
#include "registry_conformance.h"

#include "plx_test_machine.h"

#include <cstring>

namespace {

bool setPrivilege(const WCHAR* name, bool enable) {
    CPLXScopedToken token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.out())) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    return LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid) &&
           AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr) &&
           GetLastError() == ERROR_SUCCESS;
}

class RegistrySaveRestore : public RegistryCase {
protected:
    void SetUp() override {
        RegistryCase::SetUp();
        DeleteFileW(kFile);
    }
    void TearDown() override {
        DeleteFileW(kFile);
        setPrivilege(SE_BACKUP_NAME, false);
        setPrivilege(SE_RESTORE_NAME, false);
        RegistryCase::TearDown();
    }
    // On the machine's own drive: test runs in parallel share the host's directories.
    static constexpr const WCHAR* kFile = TEXT("C:\\plx_conformance_saved_key.dat");
};

TEST_F(RegistrySaveRestore, SaveWithTheBackupPrivilegeWritesTheFile) {
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("d"), 1));
    ASSERT_TRUE(setPrivilege(SE_BACKUP_NAME, true));
    ASSERT_EQ(ERROR_SUCCESS, RegSaveKeyW(key(), kFile, nullptr));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(kFile));
}

TEST_F(RegistrySaveRestore, SaveNeedsTheBackupPrivilegeAndANewFile) {
    if (plxIsWine())
        GTEST_SKIP() << "Wine's RegSaveKeyW neither checks the backup privilege nor refuses an existing file";
    ASSERT_TRUE(setPrivilege(SE_BACKUP_NAME, false));
    EXPECT_EQ(ERROR_PRIVILEGE_NOT_HELD, RegSaveKeyW(key(), kFile, nullptr));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(kFile));
    ASSERT_TRUE(setPrivilege(SE_BACKUP_NAME, true));
    ASSERT_EQ(ERROR_SUCCESS, RegSaveKeyW(key(), kFile, nullptr));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(kFile));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, RegSaveKeyW(key(), kFile, nullptr));
}

TEST_F(RegistrySaveRestore, RestoreReplacesTheKeyWithTheSavedTree) {
    if (plxIsWine()) GTEST_SKIP() << "Wine's RegRestoreKeyW is a stub that restores nothing";
    ScopedKey source, deep, target, stale;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("source"), source));
    ASSERT_EQ(ERROR_SUCCESS, setString(source.get(), TEXT("s"), TEXT("text")));
    ASSERT_EQ(ERROR_SUCCESS, setDword(source.get(), TEXT("d"), 42));
    ASSERT_EQ(ERROR_SUCCESS, createSub(source.get(), TEXT("sub\\deeper"), deep));
    ASSERT_EQ(ERROR_SUCCESS, setDword(deep.get(), TEXT("inner"), 7));
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("target"), target));
    ASSERT_EQ(ERROR_SUCCESS, setDword(target.get(), TEXT("old"), 1));
    ASSERT_EQ(ERROR_SUCCESS, createSub(target.get(), TEXT("staleKey"), stale));
    stale.reset();

    ASSERT_TRUE(setPrivilege(SE_BACKUP_NAME, true));
    ASSERT_EQ(ERROR_SUCCESS, RegSaveKeyW(source.get(), kFile, nullptr));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(kFile));

    ASSERT_TRUE(setPrivilege(SE_RESTORE_NAME, false));
    EXPECT_EQ(ERROR_PRIVILEGE_NOT_HELD, RegRestoreKeyW(target.get(), kFile, 0));
    ASSERT_TRUE(setPrivilege(SE_RESTORE_NAME, true));
    ASSERT_EQ(ERROR_SUCCESS, RegRestoreKeyW(target.get(), kFile, 0));

    std::vector<WString> values = valueNames(target.get());
    std::vector<WString> expected{TEXT("s"), TEXT("d")};
    EXPECT_TRUE(values == expected);
    std::vector<WString> subs = subKeyNames(target.get());
    ASSERT_EQ(1u, subs.size());
    EXPECT_TRUE(subs[0] == TEXT("sub"));
    DWORD number = 0, size = sizeof number;
    ScopedKey restoredDeep;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(target.get(), TEXT("sub\\deeper"), 0, KEY_READ, restoredDeep.out()));
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(restoredDeep.get(), TEXT("inner"), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(7u, number);
    WCHAR text[8];
    size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(target.get(), TEXT("s"), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_TRUE(WString(text) == TEXT("text"));
}

TEST_F(RegistrySaveRestore, RestoreOfAMissingFileFails) {
    if (plxIsWine()) GTEST_SKIP() << "Wine's RegRestoreKeyW is a stub that succeeds without reading the file";
    ASSERT_TRUE(setPrivilege(SE_RESTORE_NAME, true));
    EXPECT_NE(ERROR_SUCCESS, RegRestoreKeyW(key(), TEXT("plx_no_such_saved_key.dat"), 0));
}

}  // namespace
