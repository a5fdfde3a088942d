// Registry keys: creation, opening, names, enumeration order, deletion, handles.
#include "registry_conformance.h"

#include "plx_test_machine.h"

#include <algorithm>

namespace {

class RegistryKeys : public RegistryCase {};

TEST_F(RegistryKeys, CreateMakesIntermediateKeysAndReportsDisposition) {
    ScopedKey deep, again, middle;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("a\\b\\c"), deep, 0, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key(), TEXT("a\\b"), 0, KEY_READ, middle.out()));
    EXPECT_NE(nullptr, middle.get());

    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("a\\b\\c"), again, 0, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    EXPECT_NE(deep.get(), again.get());
    EXPECT_NE(middle.get(), again.get());

    // A value written through one handle is seen through another.
    ASSERT_EQ(ERROR_SUCCESS, setDword(deep.get(), TEXT("n"), 7));
    DWORD number = 0, size = sizeof number;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(again.get(), TEXT("n"), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(7u, number);
}

TEST_F(RegistryKeys, OpenMissingKeyIsFileNotFound) {
    HKEY result = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(1));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(key(), TEXT("missing\\deeper"), 0, KEY_READ, &result));
    WString full = path() + TEXT("\\missing");
    ScopedKey none;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, none.out()));
}

TEST_F(RegistryKeys, OpenFromRootWithFullPathAndTrailingBackslash) {
    ScopedKey sub, viaRoot;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("child"), sub));
    WString full = path() + TEXT("\\child\\");
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, viaRoot.out()));
}

TEST_F(RegistryKeys, NamesAreCaseInsensitiveAndKeepTheirCase) {
    ScopedKey created, opened, recreated;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("MixedCase"), created));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key(), TEXT("MIXEDcase"), 0, KEY_READ, opened.out()));
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("mixedcase"), recreated, 0, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    std::vector<WString> names = subKeyNames(key());
    ASSERT_EQ(1u, names.size());
    EXPECT_TRUE(names[0] == TEXT("MixedCase"));

    ASSERT_EQ(ERROR_SUCCESS, setString(created.get(), TEXT("ValueName"), TEXT("one")));
    ASSERT_EQ(ERROR_SUCCESS, setString(created.get(), TEXT("VALUENAME"), TEXT("two")));
    std::vector<WString> values = valueNames(created.get());
    ASSERT_EQ(1u, values.size());
    EXPECT_TRUE(values[0] == TEXT("ValueName"));
    WCHAR text[8];
    DWORD size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(opened.get(), TEXT("valuename"), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(text), &size));
    EXPECT_TRUE(WString(text) == TEXT("two"));
}

// Case folds beyond ASCII through Windows' upper-case table, for key and value
// names alike; dotless i has no upper case there, so it stays apart from I.
TEST_F(RegistryKeys, NamesFoldCaseBeyondAscii) {
    struct Names {
        const WCHAR* created;
        const WCHAR* other;
        bool same;
    };
    const Names cases[] = {
        {TEXT("Тест"), TEXT("ТЕСТ"), true},
        {TEXT("Ζωή"), TEXT("ΖΩΉ"), true},
        {TEXT("Հայ"), TEXT("ՀԱՅ"), true},
        {TEXT("ıd"), TEXT("ID"), false},
    };
    std::vector<WString> created;
    for (const Names& n : cases) {
        SCOPED_TRACE(testing::Message() << "case " << created.size());
        created.push_back(n.created);
        ScopedKey sub, other;
        ASSERT_EQ(ERROR_SUCCESS, createSub(key(), n.created, sub));
        ASSERT_EQ(ERROR_SUCCESS, setDword(sub.get(), n.created, 7));
        DWORD number = 0, size = sizeof number;
        LSTATUS viaOther =
            RegQueryValueExW(sub.get(), n.other, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
        EXPECT_EQ(n.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND, viaOther);
        if (!n.same) {
            EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(key(), n.other, 0, KEY_READ, other.out()));
            continue;
        }
        EXPECT_EQ(7u, number);
        DWORD disposition = 0;
        ASSERT_EQ(ERROR_SUCCESS, createSub(key(), n.other, other, 0, &disposition));
        EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
        ASSERT_EQ(ERROR_SUCCESS, setDword(other.get(), n.other, 8));  // rewrites the value
        EXPECT_TRUE(valueNames(sub.get()) == std::vector<WString>{n.created});
    }
    std::vector<WString> names = subKeyNames(key());
    std::sort(names.begin(), names.end());
    std::sort(created.begin(), created.end());
    EXPECT_TRUE(names == created) << "each key once, named as first created";
}

// Windows enumerates sub keys ordered by name, ignoring case, whatever the
// order of creation.
TEST_F(RegistryKeys, SubKeysEnumerateSortedByName) {
    const WCHAR* created[] = {TEXT("delta"), TEXT("Bravo"), TEXT("alpha"), TEXT("Charlie"), TEXT("bravo2"), TEXT("A1")};
    for (const WCHAR* name : created) {
        ScopedKey sub;
        ASSERT_EQ(ERROR_SUCCESS, createSub(key(), name, sub));
    }
    std::vector<WString> names = subKeyNames(key());
    std::vector<WString> expected{TEXT("A1"),     TEXT("alpha"),   TEXT("Bravo"),
                                  TEXT("bravo2"), TEXT("Charlie"), TEXT("delta")};
    EXPECT_TRUE(names == expected);
}

// The order compares upper-cased names, so "_" (after "Z") sorts after letters.
TEST_F(RegistryKeys, SubKeysSortByUpperCasedName) {
    if (plxIsWine()) GTEST_SKIP() << "Wine folds names to lower case for the order, putting \"a_x\" before \"ab\"";
    ScopedKey a, b;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("a_x"), a));
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("ab"), b));
    std::vector<WString> expected{TEXT("ab"), TEXT("a_x")};
    EXPECT_TRUE(subKeyNames(key()) == expected);
}

// Values come in the order they were created; rewriting one keeps its place.
TEST_F(RegistryKeys, ValuesEnumerateInCreationOrder) {
    if (plxIsWine()) GTEST_SKIP() << "Wine keeps values sorted by name; Windows keeps them in creation order";
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("zeta"), 1));
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("Alpha"), 2));
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("mid"), 3));
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("zeta"), 4));
    std::vector<WString> values = valueNames(key());
    std::vector<WString> expectedValues{TEXT("zeta"), TEXT("Alpha"), TEXT("mid")};
    EXPECT_TRUE(values == expectedValues);
}

TEST_F(RegistryKeys, EnumKeyCountsCharactersAndReportsShortBuffers) {
    ScopedKey sub;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("fivec"), sub));
    WCHAR name[16];
    DWORD count = 5;  // no room for the terminator
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(key(), 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    count = 6;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(key(), 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, count);
    EXPECT_TRUE(WString(name) == TEXT("fivec"));
    count = 16;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(key(), 1, name, &count, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryKeys, QueryInfoGivesCountsAndMaximumLengths) {
    ScopedKey a, b;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("short"), a));
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("muchlonger"), b));
    ASSERT_EQ(ERROR_SUCCESS, setString(key(), TEXT("name7ch"), TEXT("0123456789")));  // 22 bytes
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("n"), 1));
    DWORD subKeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key(), nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values,
                                              &maxName, &maxData, nullptr, nullptr));
    EXPECT_EQ(2u, subKeys);
    EXPECT_EQ(10u, maxSub);
    EXPECT_EQ(2u, values);
    EXPECT_EQ(7u, maxName);
    EXPECT_EQ(22u, maxData);
}

TEST_F(RegistryKeys, DeleteKeyRefusesKeysWithSubKeys) {
    ScopedKey deep;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("p\\q"), deep));
    deep.reset();
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(key(), TEXT("p")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key(), TEXT("p\\q")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key(), TEXT("p")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(key(), TEXT("p")));
    EXPECT_TRUE(subKeyNames(key()).empty());
}

TEST_F(RegistryKeys, DeleteTreeRemovesASubtreeOrEmptiesTheKey) {
    ScopedKey deep;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("t\\u\\v"), deep));
    ASSERT_EQ(ERROR_SUCCESS, setDword(deep.get(), TEXT("x"), 1));
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("own"), 1));
    deep.reset();
    ScopedKey keep;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("keep"), keep));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(key(), TEXT("t")));
    std::vector<WString> names = subKeyNames(key());
    ASSERT_EQ(1u, names.size());
    EXPECT_TRUE(names[0] == TEXT("keep"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(key(), TEXT("t")));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(key(), nullptr));
    EXPECT_TRUE(subKeyNames(key()).empty());
    EXPECT_TRUE(valueNames(key()).empty());
}

TEST_F(RegistryKeys, HandleOfADeletedKeyReportsKeyDeleted) {
    ScopedKey doomed;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("doomed"), doomed));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key(), TEXT("doomed")));
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(doomed.get(), TEXT("x"), nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, setDword(doomed.get(), TEXT("x"), 1));
}

TEST_F(RegistryKeys, InvalidAndClosedHandlesAreRejected) {
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7ff0));
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(bogus, TEXT("x"), nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bogus));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegFlushKey(bogus));
    EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(key()));
    EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(HKEY_CURRENT_USER));
    HKEY sub = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path().c_str(), 0, KEY_READ, &sub));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(sub));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(sub));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(sub, TEXT("x"), nullptr, nullptr, nullptr, &size));
}

TEST_F(RegistryKeys, VolatileKeysTakeOnlyVolatileChildren) {
    ScopedKey vol, child, volChild;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("vol"), vol, REG_OPTION_VOLATILE, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, createSub(vol.get(), TEXT("stable"), child));
    EXPECT_EQ(ERROR_SUCCESS, createSub(vol.get(), TEXT("alsoVolatile"), volChild, REG_OPTION_VOLATILE));
    ASSERT_EQ(ERROR_SUCCESS, setDword(vol.get(), TEXT("x"), 5));
    // An existing key opens whatever options are asked for.
    ScopedKey reopened;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("vol"), reopened, 0, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
}

TEST_F(RegistryKeys, AccessMaskLimitsWhatAHandleMayDo) {
    ScopedKey sub;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("child"), sub));
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("v"), 1));
    WCHAR name[64];
    DWORD count = 64, size = 0;

    ScopedKey readOnly;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path().c_str(), 0, KEY_READ, readOnly.out()));
    EXPECT_EQ(ERROR_ACCESS_DENIED, setDword(readOnly.get(), TEXT("v"), 2));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueW(readOnly.get(), TEXT("v")));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(readOnly.get(), TEXT("v"), nullptr, nullptr, nullptr, &size));

    ScopedKey writeOnly;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path().c_str(), 0, KEY_WRITE, writeOnly.out()));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExW(writeOnly.get(), TEXT("v"), nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumValueW(writeOnly.get(), 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    count = 64;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyExW(writeOnly.get(), 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, setDword(writeOnly.get(), TEXT("v"), 3));

    ScopedKey queryOnly;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path().c_str(), 0, KEY_QUERY_VALUE, queryOnly.out()));
    count = 64;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyExW(queryOnly.get(), 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    count = 64;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueW(queryOnly.get(), 0, name, &count, nullptr, nullptr, nullptr, nullptr));

    ScopedKey enumOnly;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, path().c_str(), 0, KEY_ENUMERATE_SUB_KEYS, enumOnly.out()));
    count = 64;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExW(enumOnly.get(), 0, name, &count, nullptr, nullptr, nullptr, nullptr));
}

// RegQueryInfoKeyW needs KEY_QUERY_VALUE.
TEST_F(RegistryKeys, QueryInfoNeedsQueryValueAccess) {
    if (plxIsWine()) GTEST_SKIP() << "Wine answers RegQueryInfoKeyW on a handle without KEY_QUERY_VALUE";
    ScopedKey enumOnly;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, path().c_str(), 0, KEY_ENUMERATE_SUB_KEYS, enumOnly.out()));
    DWORD subKeys = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryInfoKeyW(enumOnly.get(), nullptr, nullptr, nullptr, &subKeys, nullptr,
                                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST(RegistryOpen, NullParentLeavesTheResultAlone) {
    if (plxIsWine()) GTEST_SKIP() << "Wine clears the result before it looks at the parent";
    HKEY result = HKEY_USERS;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(nullptr, TEXT("Software"), 0, KEY_READ, &result));
    EXPECT_EQ(HKEY_USERS, result);
}

// A predefined key opened without a sub key is handed back itself.
TEST(RegistryOpen, PredefinedKeyWithoutSubKeyIsItself) {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY viaNull = nullptr, viaEmpty = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, nullptr, 0, KEY_READ, &viaNull));
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, TEXT(""), 0, KEY_READ, &viaEmpty));
        EXPECT_TRUE(viaNull == root && viaEmpty == root);
    }
    ScopedKey slash;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, TEXT("\\"), 0, KEY_READ, slash.out()));
}

TEST_F(RegistryKeys, MaximumAllowedLetsAnAdministratorWrite) {
    ScopedKey opened;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path().c_str(), 0, MAXIMUM_ALLOWED, opened.out()));
    EXPECT_EQ(ERROR_SUCCESS, setDword(opened.get(), TEXT("v"), 1));
}

TEST_F(RegistryKeys, RegistryCallsLeaveTheLastErrorAlone) {
    SetLastError(12345);
    ScopedKey none;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(key(), TEXT("missing"), 0, KEY_READ, none.out()));
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key(), TEXT("missing"), nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(12345u, GetLastError());
}

}  // namespace
