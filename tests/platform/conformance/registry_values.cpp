// Registry values: types, sizes, the ERROR_MORE_DATA protocol, enumeration and
// the one-call read of several values.
#include "registry_conformance.h"

#include <cstring>

namespace {

class RegistryValues : public RegistryCase {};

TEST_F(RegistryValues, QueryReportsTypeAndSizeAndAsksForMoreRoom) {
    ASSERT_EQ(ERROR_SUCCESS, setString(key(), TEXT("text"), TEXT("hello")));  // 12 bytes
    DWORD type = 0, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT("text"), nullptr, &type, nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(12u, size);

    BYTE small[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    size = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key(), TEXT("text"), nullptr, &type, small, &size));
    EXPECT_EQ(12u, size);

    WCHAR exact[6];
    size = sizeof exact;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key(), TEXT("text"), nullptr, &type, reinterpret_cast<BYTE*>(exact), &size));
    EXPECT_EQ(12u, size);
    EXPECT_TRUE(WString(exact) == TEXT("hello"));

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key(), TEXT("absent"), nullptr, &type, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT("text"), nullptr, &type, nullptr, nullptr));
}

TEST_F(RegistryValues, DataIsStoredExactlyAsGiven) {
    const BYTE binary[] = {0x00, 0x01, 0xFF, 0x80, 0x7F};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key(), TEXT("bin"), 0, REG_BINARY, binary, sizeof binary));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key(), TEXT("empty"), 0, REG_BINARY, nullptr, 0));
    // A REG_SZ without its terminator stays so when no terminator follows it
    // in memory; when one does, Windows counts it in.
    const WCHAR bareThenMore[] = {'a', 'b', 'c'};
    const WCHAR bareThenNul[] = {'a', 'b', 0};
    const DWORD bare = 2 * sizeof(WCHAR);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key(), TEXT("bare"), 0, REG_SZ, reinterpret_cast<const BYTE*>(bareThenMore), bare));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key(), TEXT("counted"), 0, REG_SZ, reinterpret_cast<const BYTE*>(bareThenNul), bare));
    const WCHAR multi[] = {'a', 0, 'b', 'c', 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key(), TEXT("multi"), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi),
                                            sizeof multi));
    const ULONGLONG big = 0x0102030405060708ull;
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key(), TEXT("q"), 0, REG_QWORD, reinterpret_cast<const BYTE*>(&big), sizeof big));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key(), nullptr, 0, REG_DWORD, binary, 4));  // the default value

    BYTE buffer[32];
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT("bin"), nullptr, &type, buffer, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    ASSERT_EQ(sizeof binary, size);
    EXPECT_EQ(0, std::memcmp(binary, buffer, size));
    size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT("empty"), nullptr, &type, buffer, &size));
    EXPECT_EQ(0u, size);
    size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT("bare"), nullptr, &type, buffer, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(bare, size);
    size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT("counted"), nullptr, &type, buffer, &size));
    EXPECT_EQ(sizeof bareThenNul, size);
    size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT("multi"), nullptr, &type, buffer, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    ASSERT_EQ(sizeof multi, size);
    EXPECT_EQ(0, std::memcmp(multi, buffer, size));
    size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT("q"), nullptr, &type, buffer, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_QWORD), type);
    EXPECT_EQ(8u, size);
    size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key(), TEXT(""), nullptr, &type, buffer, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(4u, size);
}

TEST_F(RegistryValues, DataThatCannotBeReadIsNoAccess) {
    const BYTE* unreadable = reinterpret_cast<const BYTE*>(static_cast<ULONG_PTR>(0x10));
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(key(), TEXT("v"), 0, REG_BINARY, unreadable, 4));
    EXPECT_TRUE(valueNames(key()).empty());
}

TEST_F(RegistryValues, DeleteValue) {
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("gone"), 1));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key(), TEXT("GONE")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key(), TEXT("gone")));
    EXPECT_TRUE(valueNames(key()).empty());
}

TEST_F(RegistryValues, EnumValueCountsAndShortBuffers) {
    ASSERT_EQ(ERROR_SUCCESS, setString(key(), TEXT("name"), TEXT("data")));  // 10 bytes
    WCHAR name[16];
    BYTE data[16];
    DWORD count = 4, type = 0, size = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key(), 0, name, &count, nullptr, &type, data, &size));
    EXPECT_TRUE(type == REG_SZ && size == 10) << "a name too long still gives type and size";

    count = 16;
    size = 4;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key(), 0, name, &count, nullptr, &type, data, &size));
    EXPECT_EQ(10u, size);

    count = 16;
    size = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueW(key(), 0, name, &count, nullptr, &type, data, &size));
    EXPECT_EQ(4u, count);
    EXPECT_TRUE(WString(name) == TEXT("name"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(10u, size);

    count = 16;
    size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueW(key(), 0, name, &count, nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(10u, size);

    count = 16;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(key(), 1, name, &count, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryValues, QueryMultipleValuesFillsEntriesAndBuffer) {
    ASSERT_EQ(ERROR_SUCCESS, setString(key(), TEXT("s"), TEXT("abc")));  // 8 bytes
    ASSERT_EQ(ERROR_SUCCESS, setDword(key(), TEXT("d"), 0x11223344));    // 4 bytes
    WCHAR nameS[] = {'s', 0};
    WCHAR nameD[] = {'D', 0};
    VALENTW entries[2] = {};
    entries[0].ve_valuename = nameS;
    entries[1].ve_valuename = nameD;

    DWORD total = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryMultipleValuesW(key(), entries, 2, nullptr, &total));
    EXPECT_EQ(12u, total);
    WCHAR small[2];
    total = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryMultipleValuesW(key(), entries, 2, small, &total));
    EXPECT_EQ(12u, total);

    WCHAR buffer[16];
    total = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryMultipleValuesW(key(), entries, 2, buffer, &total));
    EXPECT_EQ(12u, total);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), entries[0].ve_type);
    EXPECT_EQ(8u, entries[0].ve_valuelen);
    EXPECT_TRUE(WString(reinterpret_cast<const WCHAR*>(entries[0].ve_valueptr)) == TEXT("abc"));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), entries[1].ve_type);
    EXPECT_EQ(4u, entries[1].ve_valuelen);
    DWORD number = 0;
    std::memcpy(&number, reinterpret_cast<const void*>(entries[1].ve_valueptr), sizeof number);
    EXPECT_EQ(0x11223344u, number);
    const BYTE* start = reinterpret_cast<const BYTE*>(buffer);
    const BYTE* end = start + sizeof buffer;
    for (const VALENTW& e : entries) {
        EXPECT_GE(reinterpret_cast<const BYTE*>(e.ve_valueptr), start);
        EXPECT_LE(reinterpret_cast<const BYTE*>(e.ve_valueptr) + e.ve_valuelen, end);
    }

    WCHAR missing[] = {'n', 'o', 0};
    entries[1].ve_valuename = missing;
    total = sizeof buffer;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryMultipleValuesW(key(), entries, 2, buffer, &total));
}

}  // namespace
