// CPLXRegistryKey: open/close/create, information, enumeration, bulk reads,
// save and restore, registry views.
#include <algorithm>
#include <cstring>

#include "plx_registry_key.h"
#include "plx_registry_string.h"
#include "registry_test_env.h"

namespace {

class RegistryKeyTest : public RegistryTest {};

// Whether the process token has the privilege enabled.
bool privilegeEnabled(const WCHAR* szName) {
    CPLXScopedToken hToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, hToken.out())) return false;
    LUID luid = {};
    LookupPrivilegeValueW(nullptr, szName, &luid);
    BYTE buffer[4096] = {};
    DWORD cbNeeded = 0;
    bool bEnabled = false;
    if (GetTokenInformation(hToken.get(), TokenPrivileges, buffer, sizeof(buffer), &cbNeeded)) {
        const TOKEN_PRIVILEGES* pPrivileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
        for (DWORD i = 0; i < pPrivileges->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& entry = pPrivileges->Privileges[i];
            if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart) {
                bEnabled = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
            }
        }
    }
    return bEnabled;
}

}  // namespace

// ---------------------------------------------------------------- open, close, create, exists

TEST_F(RegistryKeyTest, MissingKeyIsCreatedOnlyWithCreate) {
    create("");
    CPLXRegistryKey plain(HKEY_CURRENT_USER, path("Missing\\Deeper"), KEY_READ, false, 0);
    EXPECT_FALSE(plain.exists());
    EXPECT_FALSE(plain.isOpen());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, plain.getLastOpenError());
    EXPECT_FALSE(rawKeyExists(m_path + "\\Missing"));

    CPLXRegistryKey creating(HKEY_CURRENT_USER, path("Missing\\Deeper"), KEY_ALL_ACCESS, true, 0);
    EXPECT_TRUE(creating.exists());
    EXPECT_FALSE(creating.isOpen());
    EXPECT_TRUE(rawKeyExists(m_path + "\\Missing\\Deeper"));
    EXPECT_TRUE(plain.exists());
}

TEST_F(RegistryKeyTest, OpenTwiceReportsTheOpenKeyAndReopens) {
    create("");
    PlxLoggingOn logging("OpenTwice");
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    EXPECT_TRUE(key.open());
    EXPECT_TRUE(key.open());
    EXPECT_TRUE(key.isOpen());
    EXPECT_TRUE(key.close());
    EXPECT_FALSE(key.isOpen());
    EXPECT_TRUE(key.close());  // a closed key closes successfully
    EXPECT_TRUE(
        logHas(logging.lines(), {"Registry key is already open ( " + m_path + " )", "CPLXRegistryKey", "open"}));
}

TEST_F(RegistryKeyTest, CreateLeavesTheKeyClosedAndAcceptsAnExistingKey) {
    create("");
    CPLXRegistryKey key(HKEY_CURRENT_USER, path("New"), KEY_ALL_ACCESS, false, 0);
    EXPECT_TRUE(key.create());
    EXPECT_FALSE(key.isOpen());
    EXPECT_TRUE(key.create());
    EXPECT_TRUE(key.open());
    EXPECT_TRUE(key.create());  // closes the open key first
    EXPECT_FALSE(key.isOpen());
    EXPECT_TRUE(rawKeyExists(m_path + "\\New"));
}

TEST_F(RegistryKeyTest, CopiesAreClosedDescriptors) {
    create("");
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    ASSERT_TRUE(key.open());
    CPLXRegistryKey copy(key);
    EXPECT_FALSE(copy.isOpen());
    EXPECT_EQ(static_cast<REGSAM>(KEY_ALL_ACCESS), CPLXRegistryKey().getAccess());
    CPLXRegistryKey assigned(HKEY_CURRENT_USER, plxStr("Software"), KEY_ALL_ACCESS, false, 0);
    ASSERT_TRUE(assigned.open());
    assigned = key;
    EXPECT_FALSE(assigned.isOpen());
    EXPECT_EQ(static_cast<REGSAM>(KEY_READ), assigned.getAccess());
    EXPECT_TRUE(assigned.exists());
    EXPECT_TRUE(key.isOpen());  // the source keeps its handle

    // Assigned to itself, a key keeps its descriptor and is closed.
    CPLXRegistryKey& same = key;
    key = same;
    EXPECT_FALSE(key.isOpen());
    EXPECT_EQ(static_cast<REGSAM>(KEY_READ), key.getAccess());
    EXPECT_TRUE(key.exists());
}

TEST_F(RegistryKeyTest, KeyName) {
    create("");
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    CPLXWCharString name;
    EXPECT_TRUE(key.getKeyName(name, false));
    EXPECT_EQ(m_case, plxNarrow(name));
    EXPECT_TRUE(key.getKeyName(name, true));
    EXPECT_EQ(m_path, plxNarrow(name));

    CPLXRegistryKey single(HKEY_CURRENT_USER, plxStr("Software"), KEY_READ, false, 0);
    name = plxStr("unchanged").c_str();
    EXPECT_FALSE(single.getKeyName(name, false));
    EXPECT_EQ("unchanged", plxNarrow(name));
}

// ---------------------------------------------------------------- information

TEST_F(RegistryKeyTest, InformationFiguresAndClosedKeyAfterwards) {
    create("\"a\"=dword:00000001\n\"LongerName\"=\"xyz\"\n", regPath("Sub1") + regPath("LongestSub"));
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    ULONG ulLen = 0;
    EXPECT_TRUE(key.getMaxSubKeyLength(ulLen));
    EXPECT_EQ(10u, ulLen);
    EXPECT_TRUE(key.getMaxValueNameLength(ulLen));
    EXPECT_EQ(10u, ulLen);
    ASSERT_TRUE(key.open());
    EXPECT_TRUE(key.getMaxValueDataLength(ulLen));
    EXPECT_EQ(8u, ulLen);  // "xyz" and its terminator
    EXPECT_FALSE(key.isOpen());

    CPLXRegistryKey missing(HKEY_CURRENT_USER, path("Missing"), KEY_READ, false, 0);
    ulLen = 77;
    EXPECT_FALSE(missing.getMaxValueNameLength(ulLen));
    EXPECT_FALSE(missing.getMaxSubKeyLength(ulLen));
    EXPECT_EQ(77u, ulLen);
}

// ---------------------------------------------------------------- enumeration

TEST_F(RegistryKeyTest, EnumSubKeysListsNamesWithTagsFromOne) {
    create("", regPath("A") + regPath("B") + regPath("Empty"));
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    CPLXDblList<CPLXWCharString> list;
    list.add(plxStr("stale"), 9);
    ASSERT_TRUE(key.enumSubKeys(list));
    EXPECT_EQ((std::vector<std::string>{"A", "B", "Empty"}), plxNames(list));
    EXPECT_TRUE(list.findTag(1));
    EXPECT_EQ("A", plxNarrow(*list.getCurrentPointer()));
    EXPECT_TRUE(list.findTag(3));
    EXPECT_EQ("Empty", plxNarrow(*list.getCurrentPointer()));
    EXPECT_TRUE(key.isOpen());  // the enumeration leaves the key open

    CPLXRegistryKey empty(HKEY_CURRENT_USER, path("Empty"), KEY_READ, false, 0);
    EXPECT_TRUE(empty.enumSubKeys(list));
    EXPECT_EQ(0u, list.getCount());
}

TEST_F(RegistryKeyTest, EnumSubKeyByIndexGivesAClosedKeyBelowThisOne) {
    create("", regPath("A") + regPath("B") + "\"inB\"=\"yes\"\n");
    PlxLoggingOn logging("EnumIndex");
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    CPLXRegistryKey sub;
    ASSERT_TRUE(key.enumSubKeys(sub, 1));
    CPLXWCharString name;
    EXPECT_TRUE(sub.getKeyName(name, true));
    EXPECT_EQ(m_path + "\\B", plxNarrow(name));
    EXPECT_FALSE(sub.isOpen());
    EXPECT_EQ(static_cast<REGSAM>(KEY_READ), sub.getAccess());
    CPLXRegistryString value(HKEY_CURRENT_USER, name, plxStr("inB"), KEY_READ, false, 0);
    CPLXWCharString text;
    EXPECT_TRUE(value.getValue(text, false));
    EXPECT_EQ("yes", plxNarrow(text));

    EXPECT_FALSE(key.enumSubKeys(sub, 2));  // the end: not reported
    EXPECT_FALSE(logHas(logging.lines(), {"Unable to enumerate subkeys"}));

    CPLXRegistryKey missing(HKEY_CURRENT_USER, path("Missing"), KEY_READ, false, 0);
    EXPECT_FALSE(missing.enumSubKeys(sub, 0));
    EXPECT_TRUE(logHas(logging.lines(), {"Unable to enumerate subkeys from key ( \"" + m_path + "\\Missing\" )",
                                         "CPLXRegistrykey", "enumSubKeys"}));
    CPLXDblList<CPLXWCharString> list;
    EXPECT_TRUE(missing.enumSubKeys(list));  // ends early on the error, with no names
    EXPECT_EQ(0u, list.getCount());
}

TEST_F(RegistryKeyTest, SubKeysOfARootAreNamedWithoutALeadingBackslash) {
    create("");
    CPLXRegistryKey root(HKEY_CURRENT_USER, CPLXWCharString(), KEY_READ, false, 0);
    CPLXDblList<CPLXWCharString> list;
    ASSERT_TRUE(root.enumSubKeys(list));
    std::vector<std::string> names = plxNames(list);
    ASSERT_NE(names.end(), std::find(names.begin(), names.end(), "Software"));
    const DWORD dwIndex = static_cast<DWORD>(std::find(names.begin(), names.end(), "Software") - names.begin());
    CPLXRegistryKey sub;
    ASSERT_TRUE(root.enumSubKeys(sub, dwIndex));
    CPLXWCharString name;
    EXPECT_TRUE(sub.getKeyName(name, true));
    EXPECT_EQ("Software", plxNarrow(name));
    EXPECT_TRUE(sub.exists());
}

TEST_F(RegistryKeyTest, EnumValueNamesSkipsTheDefaultValue) {
    create("@=\"default\"\n\"x\"=\"1\"\n\"y\"=dword:00000002\n", regPath("OnlyDefault") + "@=\"d\"\n");
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    CPLXDblList<CPLXWCharString> list;
    ASSERT_TRUE(key.enumValueNames(list));
    EXPECT_EQ((std::vector<std::string>{"x", "y"}), plxNames(list));
    EXPECT_TRUE(list.findTag(0));
    EXPECT_FALSE(key.isOpen());

    CPLXRegistryKey onlyDefault(HKEY_CURRENT_USER, path("OnlyDefault"), KEY_READ, false, 0);
    EXPECT_FALSE(onlyDefault.enumValueNames(list));
    EXPECT_EQ(0u, list.getCount());
}

TEST_F(RegistryKeyTest, QueryMultipleValuesGivesRawDataInEnumerationOrder) {
    create("\"X\"=dword:00000005\n\"Y\"=\"ab\"\n", regPath("NoValues"));
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    CPLXDblList<CPLXRegistryValent> list;
    list.add(CPLXRegistryValent(), 7);
    ASSERT_TRUE(key.queryMultipleValues(list));
    ASSERT_EQ(2u, list.getCount());
    EXPECT_FALSE(key.isOpen());

    ASSERT_TRUE(list.findTag(0));
    const CPLXRegistryValent* pX = list.getCurrentPointer();
    EXPECT_EQ("X", plxNarrow(pX->getName()));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), pX->getType());
    ASSERT_EQ(4u, pX->getData().getNumElems());
    const BYTE expectedX[] = {5, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(expectedX, pX->getData().getBuffer(), 4));

    ASSERT_TRUE(list.findTag(1));
    const CPLXRegistryValent* pY = list.getCurrentPointer();
    EXPECT_EQ("Y", plxNarrow(pY->getName()));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), pY->getType());
    ASSERT_EQ(6u, pY->getData().getNumElems());
    const BYTE expectedY[] = {'a', 0, 'b', 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(expectedY, pY->getData().getBuffer(), 6));

    // A key without named values, and a missing key, leave the list untouched.
    CPLXRegistryKey noValues(HKEY_CURRENT_USER, path("NoValues"), KEY_READ, false, 0);
    EXPECT_FALSE(noValues.queryMultipleValues(list));
    CPLXRegistryKey missing(HKEY_CURRENT_USER, path("Missing"), KEY_READ, false, 0);
    EXPECT_FALSE(missing.queryMultipleValues(list));
    EXPECT_EQ(2u, list.getCount());
}

TEST_F(RegistryKeyTest, ValentsCompareTypeNameAndBytes) {
    WCHAR szName[] = {'v', 0};
    BYTE data[] = {1, 2, 3};
    VALENTW entry = {szName, 3, reinterpret_cast<DWORD_PTR>(data), REG_BINARY};
    CPLXRegistryValent a(entry), b(entry);
    EXPECT_TRUE(a == b);
    data[2] = 4;
    CPLXRegistryValent c(entry);
    EXPECT_TRUE(a != c);
    entry.ve_type = REG_NONE;
    data[2] = 3;
    EXPECT_TRUE(a != CPLXRegistryValent(entry));
    EXPECT_FALSE(CPLXRegistryValent().getName().isValid());
}

// ---------------------------------------------------------------- save and restore

TEST_F(RegistryKeyTest, ExportAndImportRefuseEmptyNamesAndTheTextFormat) {
    create("\"v\"=\"1\"\n");
    PlxLoggingOn logging("ExportArgs");
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_READ, false, 0);
    EXPECT_FALSE(key.exportKey(CPLXWCharString(), 0, true));
    EXPECT_TRUE(
        logHas(logging.lines(), {"A bad argument was provided ( szExportFileName ). filename must be non-null"}));
    EXPECT_FALSE(key.importKey(CPLXWCharString(), 0));
    EXPECT_TRUE(
        logHas(logging.lines(), {"A bad argument was provided ( szImportFileName ). filename must be non-null"}));

    // The text format goes to the registry text file, without any privilege.
    const CPLXWCharString file = plxStr("C:\\plxlogtest\\ExportArgs\\text.reg");
    EXPECT_TRUE(key.exportKey(file, 8, true));
    EXPECT_TRUE(plxFileExists(plxW("C:\\plxlogtest\\ExportArgs\\text.reg")));
    EXPECT_TRUE(key.importKey(file, 16));
    EXPECT_FALSE(key.isOpen());
    if (PLX_SIMULATED_MACHINE) {
        // A fresh machine is a fresh logon: nothing has enabled the privileges.
        EXPECT_FALSE(privilegeEnabled(SE_BACKUP_NAME));
        EXPECT_FALSE(privilegeEnabled(SE_RESTORE_NAME));
    }
}

TEST_F(RegistryKeyTest, SaveAndRestoreRoundTrip) {
    create("\"v\"=\"saved\"\n\"n\"=dword:00000007\n", regPath("Sub") + "\"s\"=hex:01,02\n");
    PlxLoggingOn logging("SaveRestore");
    CreateDirectoryW(TEXT("C:\\plxlogtest\\SaveRestore"), nullptr);
    const PlxWString fileW = plxW("C:\\plxlogtest\\SaveRestore\\key.hiv");
    const CPLXWCharString file(fileW.c_str());

    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_ALL_ACCESS, false, 0);
    ASSERT_TRUE(key.exportKey(file, 0, true));
    EXPECT_TRUE(plxFileExists(fileW));
    EXPECT_FALSE(key.isOpen());
    EXPECT_TRUE(privilegeEnabled(SE_BACKUP_NAME));  // stays enabled

    // The file exists now: without overwrite the save fails and says so
    // (Wine's RegSaveKeyW replaces an existing file).
    if (!plxIsWine()) {
        EXPECT_FALSE(key.exportKey(file, 0, false));
        EXPECT_TRUE(logHas(logging.lines(), {"Unable to save registry key ( \"" + m_path + "\" )"}));
    }
    // With overwrite it is replaced.
    EXPECT_TRUE(key.exportKey(file, 0, true));

    if (plxIsWine()) {
        DeleteFileW(fileW.c_str());
        GTEST_SKIP() << "Wine's RegRestoreKeyW is a stub that restores nothing";
    }
    rawSetString("v", "changed");
    rawSetString("extra", "gone after restore");
    ASSERT_TRUE(key.importKey(file, 0));
    EXPECT_TRUE(privilegeEnabled(SE_RESTORE_NAME));
    EXPECT_FALSE(key.isOpen());
    DWORD dwType = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("v", dwType, data));
    EXPECT_EQ(plxW("saved"), PlxWString(reinterpret_cast<const WCHAR*>(data.data())));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, rawQuery("extra", dwType, data));
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("s", dwType, data, HKEY_CURRENT_USER, m_path + "\\Sub"));
    EXPECT_EQ((std::vector<BYTE>{1, 2}), data);

    // A file that is not there cannot be restored.
    EXPECT_FALSE(key.importKey(plxStr("C:\\plxlogtest\\SaveRestore\\none.hiv"), 0));
    EXPECT_TRUE(logHas(logging.lines(), {"Unable to load registry key ( \"" + m_path + "\" )"}));
    DeleteFileW(fileW.c_str());
}

TEST_F(RegistryKeyTest, StandardUserCannotSaveOrRestoreButTheOldFileIsDeleted) {
    if (!TestMachine::canSetMachineIni()) GTEST_SKIP() << "needs a standard user (machine.ini)";
    machine("\"v\"=\"1\"\n",
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Orvane\\Logs]\n\"Logging\"=dword:00000001\n"
            "\"TextOutput\"=\"C:\\\\plxlog.txt\"\n")
        .file("C:\\plxtest\\old.hiv", "old")
        .ini("User", "Administrator", "0")
        .create();
    CPLXRegistryKey key(HKEY_CURRENT_USER, path(), KEY_ALL_ACCESS, false, 0);
    EXPECT_FALSE(key.exportKey(plxStr("C:\\plxtest\\old.hiv"), 0, true));
    EXPECT_FALSE(plxFileExists(plxW("C:\\plxtest\\old.hiv")));
    EXPECT_FALSE(key.importKey(plxStr("C:\\plxtest\\old.hiv"), 0));
    PlxTestLog log("unused");
    std::vector<std::string> lines = log.lines(plxW("C:\\plxlog.txt"));
    // The privileges are not the user's to enable (ERROR_PRIVILEGE_NOT_HELD).
    EXPECT_TRUE(logHas(lines, {"Unable to save registry key ( \"" + m_path + "\" )"}));
    EXPECT_TRUE(logHas(lines, {"Unable to load registry key ( \"" + m_path + "\" )"}));
}

// ---------------------------------------------------------------- registry views

TEST_F(RegistryKeyTest, SetAccessReachesTheOtherView) {
    const std::string hklmPath = "SOFTWARE\\PLXTest\\" + m_case;
    m_machine
        .reg("[HKEY_LOCAL_MACHINE\\" + hklmPath + "]\n\"where\"=\"64\"\n" +
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\PLXTest\\" + m_case + "]\n\"where\"=\"32\"\n")
        .create();
    CPLXRegistryString value(HKEY_LOCAL_MACHINE, plxStr(hklmPath), plxStr("where"), KEY_READ | KEY_WOW64_32KEY, false,
                             0);
    CPLXWCharString text;
    ASSERT_TRUE(value.getValue(text, false));
    EXPECT_EQ("32", plxNarrow(text));
    ASSERT_TRUE(value.open());
    value.setAccess(KEY_READ | KEY_WOW64_64KEY);
    EXPECT_FALSE(value.isOpen());
    ASSERT_TRUE(value.getValue(text, false));
    EXPECT_EQ("64", plxNarrow(text));

    if (PLX_SIMULATED_MACHINE) {
        // The installer is a 32-bit process: without a view flag it sees the 32-bit view.
        value.setAccess(KEY_READ);
        ASSERT_TRUE(value.getValue(text, false));
        EXPECT_EQ("32", plxNarrow(text));
    }
}
