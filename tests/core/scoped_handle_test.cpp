// CPLXScopedHandle: which values each kind of handle closes, that a close,
// failed or not, leaves the last error and errno as they were, and that
// ownership moves without a second close.
#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

#include "plx_scoped_handle.h"

namespace {

// Whether an owner of this kind would close the value; it is given up unclosed.
template <class Traits>
bool closes(ULONG_PTR value) {
    CPLXScopedHandle<Traits> owner(reinterpret_cast<typename Traits::Handle>(value));
    const bool bValid = owner.isValid();
    owner.release();
    return bValid;
}

const DWORD kKeptError = ERROR_CANCELLED;  // no close reports it
const int kKeptErrno = EDOM;

// Closes h through an owner of its kind with both error values set; true when
// the close succeeded, bKept whether both values came back.
template <class Traits>
bool closeKeeping(typename Traits::Handle h, bool& bKept) {
    CPLXScopedHandle<Traits> owner(h);
    EXPECT_TRUE(owner.isValid()) << "nothing was opened";
    SetLastError(kKeptError);
    errno = kKeptErrno;
    const bool bClosed = owner.reset();
    bKept = GetLastError() == kKeptError && errno == kKeptErrno;
    return bClosed;
}

template <class T>
ULONG_PTR value(T h) {
    return reinterpret_cast<ULONG_PTR>(h);
}

HANDLE openMutex() { return CreateMutexW(nullptr, FALSE, nullptr); }

HKEY openKey() {
    HKEY hKey = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software"), 0, nullptr, 0, KEY_READ, nullptr, &hKey, nullptr);
    return hKey;
}

}  // namespace

TEST(ScopedHandle, WhatEachKindCloses) {
    const ULONG_PTR kNull = 0, kInvalid = value(INVALID_HANDLE_VALUE), kHandle = 0x104;
    const struct {
        const char* szKind;
        bool (*closes)(ULONG_PTR);
        ULONG_PTR value;
        bool bCloses;
    } rows[] = {
        {"kernel object", closes<CPLXKernelHandleTraits>, kNull, false},
        {"kernel object", closes<CPLXKernelHandleTraits>, kInvalid, false},  // also the current process
        {"kernel object", closes<CPLXKernelHandleTraits>, kHandle, true},
        {"token", closes<CPLXTokenTraits>, kNull, false},
        {"token", closes<CPLXTokenTraits>, kInvalid, false},
        {"token", closes<CPLXTokenTraits>, kHandle, true},
        {"search", closes<CPLXFindHandleTraits>, kNull, false},
        {"search", closes<CPLXFindHandleTraits>, kInvalid, false},
        {"search", closes<CPLXFindHandleTraits>, kHandle, true},
        {"module", closes<CPLXModuleTraits>, kNull, false},
        {"module", closes<CPLXModuleTraits>, kHandle, true},
        {"key", closes<CPLXRegKeyTraits>, kNull, false},
        {"HKEY_CLASSES_ROOT", closes<CPLXRegKeyTraits>, value(HKEY_CLASSES_ROOT), false},
        {"HKEY_CURRENT_USER", closes<CPLXRegKeyTraits>, value(HKEY_CURRENT_USER), false},
        {"HKEY_LOCAL_MACHINE", closes<CPLXRegKeyTraits>, value(HKEY_LOCAL_MACHINE), false},
        {"HKEY_USERS", closes<CPLXRegKeyTraits>, value(HKEY_USERS), false},
        {"HKEY_PERFORMANCE_DATA", closes<CPLXRegKeyTraits>, value(HKEY_PERFORMANCE_DATA), false},
        {"HKEY_CURRENT_CONFIG", closes<CPLXRegKeyTraits>, value(HKEY_CURRENT_CONFIG), false},
        {"HKEY_PERFORMANCE_NLSTEXT", closes<CPLXRegKeyTraits>, value(HKEY_CLASSES_ROOT) + 0x60, false},
        {"key", closes<CPLXRegKeyTraits>, kHandle, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.szKind << " 0x" << std::hex << row.value);
        EXPECT_EQ(row.bCloses, row.closes(row.value));
    }
}

TEST(ScopedHandle, CloseKeepsTheLastErrorAndErrno) {
    const struct {
        const char* szKind;
        bool (*close)(bool& bKept);
        bool bCloses;
    } rows[] = {
        {"file",
         [](bool& bKept) {
             return closeKeeping<CPLXKernelHandleTraits>(
                 CreateFileW(TEXT("C:\\plx_scoped_handle.tmp"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_FLAG_DELETE_ON_CLOSE, nullptr),
                 bKept);
         },
         true},
        {"mutex", [](bool& bKept) { return closeKeeping<CPLXKernelHandleTraits>(openMutex(), bKept); }, true},
        {"token",
         [](bool& bKept) {
             HANDLE hToken = nullptr;
             OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken);
             return closeKeeping<CPLXTokenTraits>(hToken, bKept);
         },
         true},
        {"search",
         [](bool& bKept) {
             WIN32_FIND_DATAW data;
             return closeKeeping<CPLXFindHandleTraits>(FindFirstFileW(TEXT("C:\\*"), &data), bKept);
         },
         true},
        {"key", [](bool& bKept) { return closeKeeping<CPLXRegKeyTraits>(openKey(), bKept); }, true},
        {"module", [](bool& bKept) { return closeKeeping<CPLXModuleTraits>(LoadLibraryW(TEXT("shlwapi.dll")), bKept); },
         true},
        // Closes that fail, as a handle closed twice does.
        {"closed mutex",
         [](bool& bKept) {
             const HANDLE hMutex = openMutex();
             CloseHandle(hMutex);
             return closeKeeping<CPLXKernelHandleTraits>(hMutex, bKept);
         },
         false},
        {"closed key",
         [](bool& bKept) {
             const HKEY hKey = openKey();
             RegCloseKey(hKey);
             return closeKeeping<CPLXRegKeyTraits>(hKey, bKept);
         },
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.szKind);
        bool bKept = false;
        EXPECT_EQ(row.bCloses, row.close(bKept));
        EXPECT_TRUE(bKept) << "the close changed the last error or errno";
    }
}

TEST(ScopedHandle, OwnershipMovesAndIsGivenUpWithoutAClose) {
    CPLXScopedKernelHandle first(openMutex());
    ASSERT_TRUE(first.isValid());
    const HANDLE hMutex = first.get();
    CPLXScopedKernelHandle second(std::move(first));
    CPLXScopedKernelHandle third;
    third = std::move(second);
    EXPECT_FALSE(first.isValid());
    EXPECT_FALSE(second.isValid());
    EXPECT_EQ(hMutex, third.get());
    EXPECT_EQ(hMutex, third.release());
    EXPECT_FALSE(third.isValid());
    EXPECT_TRUE(CloseHandle(hMutex)) << "release closed the handle";
}
