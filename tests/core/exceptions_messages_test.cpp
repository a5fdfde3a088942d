// Every exception and warning class: level, message, code, result kind and
// names exactly as the class table gives them.
#include <gtest/gtest.h>

#include "../logging/plx_log_test_env.h"
#include "plx_exceptions.h"

namespace {

struct Expected {
    ULONG ulLevel;
    const char* szMessage;
    ULONG ulCode;
    ULONG ulKind;
    bool bNames;
};

void check(const CPLXDetailedLog& entry, const Expected& expected) {
    const CPLXLogRecord& record = entry.getRecord();
    EXPECT_EQ(record.m_ulLevel, expected.ulLevel);
    ASSERT_NE(record.m_szMessage, nullptr);
    EXPECT_EQ(plxNarrow(record.m_szMessage, lstrlenW(record.m_szMessage)), expected.szMessage);
    EXPECT_EQ(record.m_ulCode, expected.ulCode);
    EXPECT_EQ(record.m_ulResultKind, expected.ulKind);
    if (expected.bNames) {
        ASSERT_NE(record.m_szClassName, nullptr);
        ASSERT_NE(record.m_szMethodName, nullptr);
        EXPECT_EQ(lstrcmpW(record.m_szClassName, TEXT("CPLXOwner")), 0);
        EXPECT_EQ(lstrcmpW(record.m_szMethodName, TEXT("op")), 0);
    } else {
        EXPECT_EQ(record.m_szClassName, nullptr);
        EXPECT_EQ(record.m_szMethodName, nullptr);
    }
    ASSERT_NE(record.m_szSourceFile, nullptr);
    EXPECT_EQ(plxNarrow(record.m_szSourceFile, lstrlenW(record.m_szSourceFile)), ".\\x.cpp");
    EXPECT_EQ(record.m_ulLine, 12u);
    EXPECT_EQ(record.m_szAppName, nullptr);
    EXPECT_EQ(record.m_szLogFile, nullptr);
    EXPECT_FALSE(entry.isLogged());
}

#define SRC TEXT(".\\x.cpp"), 12
#define QUIET 0x01, false, false
#define NAMES TEXT("CPLXOwner"), TEXT("op")
const ULONG BAD = PLX_LEVEL_EXCEPTION_BAD;
const ULONG WARN = PLX_LEVEL_WARNING;
const ULONG NONE = 0xFFFFFFFF;

TEST(ExceptionMessagesTest, MemoryAndArguments) {
    check(CPLXMemAllocException(TEXT("m_pBuffer"), SRC, QUIET),
          {BAD, "Unable to allocate memory ( m_pBuffer )", NONE, rkErrorCode, false});
    check(CPLXMemoryCopyException(34, SRC, false), {BAD, "memcpy() function failed", 34, rkErrorCode, false});
    check(CPLXBufferInitException(SRC, false), {BAD, "Unable to initialize CPLXBuffer", NONE, rkErrorCode, false});
    check(CPLXBadArgException(TEXT("ulPos"), TEXT("position is out of string bounds"), SRC, QUIET),
          {BAD, "A bad argument was provided ( ulPos ). position is out of string bounds", 0, rkErrorCode, false});
    check(CPLXIndexOutOfBoundsException(SRC, QUIET), {BAD, "Index out of array bounds", NONE, rkErrorCode, false});
    check(CPLXUnhandledExceptionException(22, SRC, QUIET),
          {BAD, "An unhandled exception occurred", 22, rkErrorCode, false});
}

TEST(ExceptionMessagesTest, NullArgumentsBecomeUnknown) {
    check(CPLXBadArgException(nullptr, TEXT("value is NULL"), SRC, QUIET),
          {BAD, "A bad argument was provided ( Unknown ). value is NULL", 0, rkErrorCode, false});
    check(CPLXBadArgException(TEXT("p"), nullptr, SRC, QUIET),
          {BAD, "A bad argument was provided ( p ). Unknown", 0, rkErrorCode, false});
    check(CPLXMemAllocException(nullptr, SRC, QUIET),
          {BAD, "Unable to allocate memory ( Unknown )", NONE, rkErrorCode, false});
    check(CPLXLoadStringException(1160, nullptr, 1814, SRC, QUIET),
          {BAD, "Unable to load string ( ID: 1160 ) from resource DLL ( Unknown resource DLL )", 1814, rkErrorCode,
           false});
}

TEST(ExceptionMessagesTest, Registry) {
    check(CPLXRegKeyInitException(SRC, QUIET),
          {BAD, "CPLXRegistryKey object failed to initialize", NONE, rkErrorCode, false});
    check(CPLXRegValueSetException(TEXT("Software\\Orvane"), TEXT("updated"), 5, NAMES, SRC, QUIET),
          {BAD, "Unable to Set registry value ( \"Software\\Orvane\\updated\" )", 5, rkSuccess, true});
    check(CPLXRegEnumKeyException(TEXT("K"), 6, NAMES, SRC, QUIET),
          {BAD, "Unable to enumerate subkeys from key ( \"K\" )", 6, rkErrorCode, true});
    check(CPLXRegEnumValueException(TEXT("K"), 6, NAMES, SRC, QUIET),
          {BAD, "Unable to enumerate values from key ( \"K\" )", 6, rkErrorCode, true});
    check(CPLXRegKeyCreateException(TEXT("K"), 5, NAMES, SRC, QUIET),
          {BAD, "Unable to create registry key ( \"K\" )", 5, rkSuccess, true});
    check(CPLXRegSaveKeyException(TEXT("K"), 1314, NAMES, SRC, QUIET),
          {BAD, "Unable to save registry key ( \"K\" )", 1314, rkSuccess, true});
    check(CPLXRegRestoreKeyException(TEXT("K"), 1314, NAMES, SRC, QUIET),
          {BAD, "Unable to load registry key ( \"K\" )", 1314, rkSuccess, true});
    check(CPLXRegQueryInfoKeyException(TEXT("K"), 6, SRC, QUIET),
          {BAD, "Unable to query info on registry key ( \"K\" )", 6, rkSuccess, false});
    check(CPLXRegQueryMultipleValuesException(TEXT("K"), 234, SRC, QUIET),
          {BAD, "Unable to query multiple values from registry key ( \"K\" )", 234, rkSuccess, false});
}

TEST(ExceptionMessagesTest, SystemUtilities) {
    check(CPLXUnknownVariableNameException(SRC, QUIET),
          {BAD, "The environment variable name has not been initialized", NONE, rkErrorCode, false});
    check(CPLXOpenProcessTokenException(TEXT("hProcess"), 5, SRC, QUIET),
          {BAD, "OpenProcessToken call failed for handle:hProcess", 5, rkErrorCode, false});
    check(CPLXLookupPrivilegeValueException(TEXT("SeShutdownPrivilege"), 1313, SRC, QUIET),
          {BAD, "LookupPrivilegeValue call failed for privilege:SeShutdownPrivilege", 1313, rkErrorCode, false});
    check(CPLXAdjustTokenPrivilegesException(TEXT("hToken"), 1300, SRC, QUIET),
          {BAD, "AdjustTokenPrivileges call failed for handle:hToken", 1300, rkErrorCode, false});
    check(CPLXWritePrivateProfileStringException(TEXT("Main"), TEXT("Key"), 5, SRC, QUIET),
          {BAD, "Unable to write profile string ( section: Main, key name: Key )", 5, rkErrorCode, false});
    check(CPLXWritePrivateProfileSectionException(TEXT("Main"), 5, SRC, QUIET),
          {BAD, "Unable to write profile section ( section: Main )", 5, rkErrorCode, false});
    check(CPLXDirectoryInitException(SRC, QUIET),
          {BAD, "CPLXDirectory object failed to initialize", NONE, rkErrorCode, false});
    check(CPLXWindowsOSInfoInitNeededException(SRC, QUIET),
          {BAD, "CPLXWindowsOSInfo construction failed. Cannot call member functions.", NONE, rkErrorCode, false});
    check(CPLXSIgetStoragePathException(TEXT("CSIDL_APPDATA"), 0x80070002, NAMES, SRC, QUIET),
          {BAD,
           "Unable to obtain Windows shell folder path for folder ( \"CSIDL_APPDATA\" ).  Shell folder error "
           "-2147024894.",
           0x80070002, rkErrorCode, true});
    // E_FAIL (and 1) and E_INVALIDARG have words of their own.
    const struct {
        ULONG ulCode;
        const char* szReason;
    } reasons[] = {{0x80004005, "Path does not exist."},
                   {1, "Path does not exist."},
                   {0x80070057, "Shell folder does not exist."}};
    for (const auto& r : reasons)
        check(CPLXSIgetStoragePathException(TEXT("f"), r.ulCode, NAMES, SRC, QUIET),
              {BAD,
               (std::string("Unable to obtain Windows shell folder path for folder ( \"f\" ).  ") + r.szReason).c_str(),
               r.ulCode, rkErrorCode, true});
}

TEST(ExceptionMessagesTest, MessageBoxResourcesAndDirectUses) {
    check(CPLXLoadStringException(1120, TEXT("plxres.dll"), 1814, SRC, QUIET),
          {BAD, "Unable to load string ( ID: 1120 ) from resource DLL ( plxres.dll )", 1814, rkErrorCode, false});
    check(CPLXMessageBoxInitException(8, SRC, QUIET), {BAD, "Unable to initialize message box", 8, rkErrorCode, false});
    check(CPLXLogException1(TEXT("GetPrivateProfileInt( ) failed."), 2, SRC, QUIET),
          {BAD, "GetPrivateProfileInt( ) failed.", 2, rkErrorCode, false});
    check(CPLXLogException1(TEXT("Policy source is not supported."), 0, SRC, QUIET),
          {BAD, "Policy source is not supported.", 0, rkErrorCode, false});
}

TEST(ExceptionMessagesTest, Warnings) {
    check(CMemDestroyFailWarning(TEXT("m_pBuffer"), SRC, QUIET),
          {WARN, "Unable to free memory ( m_pBuffer )", NONE, rkErrorCode, false});
    check(CCloseHandleWarning(TEXT("hToken"), 6, SRC, QUIET),
          {WARN, "Unable to free memory ( hToken )", 6, rkErrorCode, false});
    check(CPLXRegCloseKeyWarning(TEXT("K"), 6, NAMES, SRC, QUIET),
          {WARN, "Unable to close registry key ( K )", 6, rkErrorCode, true});
    check(CPLXRegKeyAlreadyOpenWarning(TEXT("K"), NAMES, SRC, QUIET),
          {WARN, "Registry key is already open ( K )", NONE, rkSuccess, true});
    check(CPLXGetPolicySettingWarning(42, SRC, QUIET),
          {WARN, "Could not find policy setting with ID ( 42 )", 0, rkErrorCode, false});
}

TEST(ExceptionMessagesTest, LongMessagesAreCutAt1023Characters) {
    PlxWString longName(2000, 'n');
    CPLXBadArgException e(longName.c_str(), longName.c_str(), SRC, QUIET);
    const CPLXLogRecord& record = e.getRecord();
    ASSERT_NE(record.m_szMessage, nullptr);
    std::string message = plxNarrow(record.m_szMessage, lstrlenW(record.m_szMessage));
    EXPECT_EQ(message.size(), PLX_MESSAGE_SIZE - 1u);
    EXPECT_EQ(message, ("A bad argument was provided ( " + std::string(2000, 'n')).substr(0, PLX_MESSAGE_SIZE - 1));
}

TEST(ExceptionMessagesTest, PlaceholdersInArgumentsAreNotExpanded) {
    CPLXBadArgException e(TEXT("%s%d"), TEXT("100%"), SRC, QUIET);
    EXPECT_EQ(plxNarrow(e.getRecord().m_szMessage, lstrlenW(e.getRecord().m_szMessage)),
              "A bad argument was provided ( %s%d ). 100%");
}

}  // namespace
