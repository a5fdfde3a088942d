// Log entries: the level, named-settings and object filters, the dispatch to
// outputs and the last-error value.
#include <gtest/gtest.h>

#include "plx_log_notification.h"
#include "plx_log_test_env.h"
#include "plx_logging.h"

namespace {

// A detailed entry of the given level, kind and code, not written at once.
class TestEntry : public CPLXDetailedLog {
public:
    TestEntry(ULONG ulLevel, ULONG ulKind = rkErrorCode, ULONG ulCode = 0, LPCWSTR szClass = nullptr,
              USHORT usOutputs = PLX_OUTPUT_TEXT, LPCWSTR szAppName = nullptr)
        : CPLXDetailedLog(ulLevel, TEXT("m"), ulCode, ulKind, szClass, nullptr, nullptr, 0, false, false, usOutputs,
                          szAppName) {}
    USHORT detail() const { return m_usDetail; }
    USHORT outputs() const { return m_usOutputs; }
};

bool written(ULONG ulLevel, ULONG ulKind = rkErrorCode, ULONG ulCode = 0) {
    TestEntry entry(ulLevel, ulKind, ulCode);
    return entry.logNow();
}

TEST(LogFilterTest, NothingIsWrittenWhileLoggingIsOff) {
    PlxLoggingOn on("off");
    on.settings().setDword("Logging", 0);
    TestEntry entry(PLX_LEVEL_CRITICAL);
    EXPECT_FALSE(entry.logNow());
    EXPECT_FALSE(entry.isLogged());
    EXPECT_EQ(entry.detail(), 0);
    EXPECT_FALSE(on.log().exists());
}

TEST(LogFilterTest, DefaultDetailAdmitsCriticalExceptionsErrorsAndWarnings) {
    PlxLoggingOn on("defaultdetail");
    on.settings().remove("LogDetail");
    EXPECT_TRUE(written(PLX_LEVEL_CRITICAL));
    EXPECT_TRUE(written(PLX_LEVEL_EXCEPTION_BAD));
    EXPECT_FALSE(written(PLX_LEVEL_EXCEPTION_OK));
    EXPECT_TRUE(written(PLX_LEVEL_ERROR));
    EXPECT_TRUE(written(PLX_LEVEL_WARNING));
    EXPECT_FALSE(written(PLX_LEVEL_DEBUG));
    EXPECT_FALSE(written(PLX_LEVEL_ENTRY));
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkSuccess, 1));
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].substr(0, 11), "<CRITICAL> ");
    EXPECT_EQ(entries[3].substr(0, 10), "<WARNING> ");
}

TEST(LogFilterTest, LevelsAgainstTheDetailMask) {
    PlxLoggingOn on("levels", 0x0001);
    // Level 0 passes under any mask and prints as UNSPECIFIED.
    EXPECT_TRUE(written(0));
    // Two bits pass only when both are admitted.
    EXPECT_FALSE(written(3));
    on.settings().setDword("LogDetail", 0x0003);
    EXPECT_TRUE(written(3));
    on.settings().setDword("LogDetail", 0x10000);  // low 16 bits: 0
    EXPECT_FALSE(written(PLX_LEVEL_CRITICAL));
    EXPECT_TRUE(written(0));
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].substr(0, 14), "<UNSPECIFIED> ");
    EXPECT_EQ(entries[1].substr(0, 14), "<UNSPECIFIED> ");
}

TEST(LogFilterTest, ExitModifierBits) {
    PlxLoggingOn on("exitbits", 0x2300);
    EXPECT_TRUE(written(PLX_LEVEL_ENTRY, rkSuccess, 0));
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkSuccess, 1));
    EXPECT_TRUE(written(PLX_LEVEL_EXIT, rkSuccess, 0));
    EXPECT_TRUE(written(PLX_LEVEL_EXIT, rkSuccess, 0x100));  // low byte 0 counts as failed
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkLogical, 0));
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkLogical, 1));
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkErrorCode, 5));
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkReturnCode, 5));

    on.settings().setDword("LogDetail", 0x1200);
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkSuccess, 0));
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkSuccess, 1));
    EXPECT_TRUE(written(PLX_LEVEL_EXIT, rkErrorCode, 5));
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkErrorCode, 0));

    on.settings().setDword("LogDetail", 0x4200);
    EXPECT_TRUE(written(PLX_LEVEL_EXIT, rkLogical, 0));
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkLogical, 1));

    // Without modifiers every EXIT passes.
    on.settings().setDword("LogDetail", 0x0200);
    EXPECT_TRUE(written(PLX_LEVEL_EXIT, rkSuccess, 1));
    EXPECT_TRUE(written(PLX_LEVEL_EXIT, rkReturnCode, 7));
    // A modifier without the EXIT bit admits no EXIT at all.
    on.settings().setDword("LogDetail", 0x2000);
    EXPECT_FALSE(written(PLX_LEVEL_EXIT, rkSuccess, 0));
}

TEST(LogFilterTest, ObjectLists) {
    PlxLoggingOn on("objects");
    auto classWritten = [](LPCWSTR szClass) {
        TestEntry entry(PLX_LEVEL_ERROR, rkErrorCode, 0, szClass);
        return entry.logNow();
    };
    on.settings().setString("AllowObjects", "");
    EXPECT_FALSE(classWritten(TEXT("CPLXFlags")));
    // Entries without a class name are never affected.
    EXPECT_TRUE(classWritten(nullptr));

    on.settings().setString("AllowObjects", "CPLXRegistryStringExpand");
    EXPECT_TRUE(classWritten(TEXT("CPLXRegistryString")));
    EXPECT_FALSE(classWritten(TEXT("CPLXRegistryKey")));

    // With both lists only "AllowObjects" is consulted.
    on.settings().setString("ExcludeObjects", "CPLXRegistryString");
    EXPECT_TRUE(classWritten(TEXT("CPLXRegistryString")));

    on.settings().remove("AllowObjects");
    EXPECT_FALSE(classWritten(TEXT("CPLXRegistryString")));
    EXPECT_TRUE(classWritten(TEXT("CPLXRegistryKey")));
}

TEST(LogFilterTest, NamedSettingsReplaceTheGlobalFilter) {
    PlxLoggingOn on("named", 0);
    on.settings().setString("MyTool", "1,0");
    // Written whatever its level, and its application name is kept.
    TestEntry named(PLX_LEVEL_DEBUG, rkErrorCode, 0, nullptr, PLX_OUTPUT_XML, TEXT("MyTool"));
    EXPECT_TRUE(named.logNow());
    EXPECT_EQ(named.outputs(), PLX_OUTPUT_TEXT);
    EXPECT_EQ(named.detail(), 0);
    // Outputs from the value: 16 calls nothing.
    on.settings().setString("MyTool", "16,4095");
    TestEntry silent(PLX_LEVEL_DEBUG, rkErrorCode, 0, nullptr, PLX_OUTPUT_TEXT, TEXT("MyTool"));
    EXPECT_FALSE(silent.logNow());
    EXPECT_EQ(silent.detail(), 4095);
    // An application name without a value takes the global path.
    TestEntry other(PLX_LEVEL_DEBUG, rkErrorCode, 0, nullptr, PLX_OUTPUT_TEXT, TEXT("Other"));
    EXPECT_FALSE(other.logNow());
    // Entries without an application name never take the named path, even
    // when a value is named after the executable.
    on.settings().setString(plxExpectedAppName().c_str(), "1,0");
    TestEntry unnamed(PLX_LEVEL_DEBUG);
    EXPECT_FALSE(unnamed.logNow());

    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "<DEBUG> <MyTool> \"m\" ");
}

TEST(LogFilterTest, DispatchResultIsThatOfTheLastOutput) {
    PlxLoggingOn on("dispatch");
    TestEntry both(PLX_LEVEL_ERROR, rkErrorCode, 0, nullptr, PLX_OUTPUT_TEXT | PLX_OUTPUT_XML);
    EXPECT_FALSE(both.logNow());
    EXPECT_FALSE(both.isLogged());
    EXPECT_EQ(on.lines().size(), 1u);

    TestEntry none(PLX_LEVEL_ERROR, rkErrorCode, 0, nullptr, 0x10);
    EXPECT_FALSE(none.logNow());
    TestEntry high(PLX_LEVEL_ERROR, rkErrorCode, 0, nullptr, 0x0100 | 0x40 | 0x80);
    EXPECT_FALSE(high.logNow());
    EXPECT_EQ(on.lines().size(), 1u);

    TestEntry text(PLX_LEVEL_ERROR);
    EXPECT_TRUE(text.logNow());
    EXPECT_TRUE(text.isLogged());
    EXPECT_EQ(on.lines().size(), 2u);
}

TEST(LogFilterTest, WritingKeepsTheLastError) {
    PlxLoggingOn on("lasterror");
    TestEntry entry(PLX_LEVEL_ERROR);
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(entry.logNow());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // Also when the file is created (CreateFileW sets the last error) and
    // when nothing is written.
    on.log().removeFiles();
    SetLastError(1234);
    EXPECT_TRUE(entry.logNow());
    EXPECT_EQ(GetLastError(), 1234u);
    on.settings().setDword("Logging", 0);
    SetLastError(99);
    EXPECT_FALSE(entry.logNow());
    EXPECT_EQ(GetLastError(), 99u);
}

TEST(LogFilterTest, LogOnDestroyWritesAgain) {
    PlxLoggingOn on("ondestroy");
    {
        CPLXDetailedLog entry(PLX_LEVEL_ERROR, TEXT("twice"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0, true, true,
                              PLX_OUTPUT_TEXT);
        EXPECT_TRUE(entry.isLogged());
    }
    {
        CPLXDetailedLog entry(PLX_LEVEL_ERROR, TEXT("once"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0, true, false,
                              PLX_OUTPUT_TEXT);
    }
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_NE(entries[0].find("\"twice\""), std::string::npos);
    EXPECT_NE(entries[1].find("\"twice\""), std::string::npos);
    EXPECT_NE(entries[2].find("\"once\""), std::string::npos);
}

TEST(LogFilterTest, CopiesAreDeep) {
    PlxLoggingOn on("copies");
    CPLXDetailedLog original(PLX_LEVEL_ERROR, TEXT("text"), 5, rkErrorCode, TEXT("CPLXA"), TEXT("op"), TEXT(".\\a.cpp"),
                             7, true, false, PLX_OUTPUT_TEXT);
    CPLXDetailedLog copy(original);
    EXPECT_TRUE(copy.isLogged());
    const CPLXLogRecord& a = original.getRecord();
    const CPLXLogRecord& b = copy.getRecord();
    EXPECT_NE(a.m_szMessage, b.m_szMessage);
    EXPECT_EQ(lstrcmpW(a.m_szMessage, b.m_szMessage), 0);
    EXPECT_NE(a.m_szClassName, b.m_szClassName);
    EXPECT_EQ(lstrcmpW(b.m_szMethodName, TEXT("op")), 0);
    EXPECT_EQ(lstrcmpW(b.m_szSourceFile, TEXT(".\\a.cpp")), 0);
    EXPECT_EQ(lstrcmpW(a.m_szAppName, b.m_szAppName), 0);  // filled by the filter
    EXPECT_EQ(b.m_ulCode, 5u);
    EXPECT_EQ(b.m_ulLine, 7u);
}

TEST(LogRecordTest, TextSetters) {
    CPLXLogRecord record(PLX_LEVEL_ERROR, TEXT("m"));
    EXPECT_TRUE(record.setClassName(nullptr));
    EXPECT_EQ(record.m_szClassName, nullptr);
    EXPECT_FALSE(record.setClassName(TEXT("")));
    EXPECT_EQ(record.m_szClassName, nullptr);
    EXPECT_TRUE(record.setClassName(TEXT("CPLXA")));
    EXPECT_TRUE(record.setClassName(record.m_szClassName));  // itself
    EXPECT_EQ(lstrcmpW(record.m_szClassName, TEXT("CPLXA")), 0);
    EXPECT_EQ(record.m_ulResultKind, 1u);
    EXPECT_EQ(record.m_ulLine, 0u);
}

TEST(AppNameTest, FileNameWithoutDirectoryAndExtension) {
    WCHAR szName[MAX_PATH];
    ASSERT_TRUE(plxAppNameFromPath(TEXT("C:\\Program Files\\Orvane\\setup.exe"), szName, MAX_PATH));
    EXPECT_EQ(plxNarrow(szName, lstrlenW(szName)), "setup");
    ASSERT_TRUE(plxAppNameFromPath(TEXT("C:\\tools\\archive.tar.exe"), szName, MAX_PATH));
    EXPECT_EQ(plxNarrow(szName, lstrlenW(szName)), "archive.tar");
    ASSERT_TRUE(plxAppNameFromPath(TEXT("C:\\tools\\setup"), szName, MAX_PATH));
    EXPECT_EQ(plxNarrow(szName, lstrlenW(szName)), "setup");
    ASSERT_TRUE(plxAppNameFromPath(TEXT("setup.exe"), szName, MAX_PATH));
    EXPECT_EQ(plxNarrow(szName, lstrlenW(szName)), "setup");
    EXPECT_FALSE(plxAppNameFromPath(TEXT("C:\\tools\\"), szName, MAX_PATH));
    EXPECT_FALSE(plxAppNameFromPath(nullptr, szName, MAX_PATH));
    EXPECT_FALSE(plxAppNameFromPath(TEXT("C:\\setup.exe"), szName, 5));  // "setup" needs 6
}

TEST(AppNameTest, DotsInDirectoriesAndLongPathsDoNotMatter) {
    WCHAR szName[MAX_PATH];
    ASSERT_TRUE(plxAppNameFromPath(TEXT("C:\\Orvane 8.30\\setup"), szName, MAX_PATH));
    EXPECT_EQ(plxNarrow(szName, lstrlenW(szName)), "setup");
    ASSERT_TRUE(plxAppNameFromPath(TEXT("C:\\v1.2\\bin\\setup.exe"), szName, MAX_PATH));
    EXPECT_EQ(plxNarrow(szName, lstrlenW(szName)), "setup");
    PlxWString longPath = plxW("C:\\") + PlxWString(300, 'd') + plxW("\\") + PlxWString(200, 'n') + plxW(".exe");
    ASSERT_TRUE(plxAppNameFromPath(longPath.c_str(), szName, MAX_PATH));
    EXPECT_EQ(plxNarrow(szName, lstrlenW(szName)), std::string(200, 'n'));
}

TEST(AppNameTest, ModulePathsLongerThanTheFirstBufferAreReadWhole) {
    WCHAR szName[MAX_PATH];
    ASSERT_TRUE(plxExecutableName(szName, MAX_PATH));
    EXPECT_EQ(plxNarrow(szName, lstrlenW(szName)), "plx_logging_tests");
    // A first buffer far shorter than the path: it grows until the path fits.
    WCHAR szGrown[MAX_PATH];
    ASSERT_TRUE(plxExecutableName(szGrown, MAX_PATH, 4));
    EXPECT_EQ(lstrcmpW(szGrown, szName), 0);
    EXPECT_FALSE(plxExecutableName(szGrown, 5));  // the name itself does not fit
}

TEST(AppNameTest, EntriesCarryTheExecutableName) {
    PlxLoggingOn on("appname");
    EXPECT_TRUE(written(PLX_LEVEL_ERROR));
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "<ERROR> <plx_logging_tests> \"m\" ");
}

TEST(SimpleLogTest, NotificationShortForm) {
    PlxLoggingOn on("notification", 0x80);
    CLogNotification note(TEXT("Box shown"), PLX_OUTPUT_TEXT, false, false);
    EXPECT_FALSE(note.isLogged());
    EXPECT_TRUE(note.logNow());
    EXPECT_TRUE(note.isLogged());
    // The short form has no object filter: an empty "AllowObjects" does not matter.
    on.settings().setString("AllowObjects", "");
    SetLastError(77);
    EXPECT_TRUE(note.logNow());
    EXPECT_EQ(GetLastError(), 77u);
    on.settings().setDword("LogDetail", 0x1B);
    EXPECT_FALSE(note.logNow());
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "<NOTIFICATION> <" + plxExpectedAppName() + "> \"Box shown\" ");
}

TEST(SimpleLogTest, ShortFormResultTexts) {
    PlxLoggingOn on("shortresults", 0x0FFF);
    struct Case {
        ULONG ulLevel, ulKind, ulCode;
        const char* szExpected;
    } cases[] = {
        {PLX_LEVEL_EXIT, rkSuccess, 1, "<Passed>"},
        {PLX_LEVEL_EXIT, rkSuccess, 0, "<Failed>"},
        {PLX_LEVEL_EXIT, rkLogical, 0, "<Failed Comparison>"},
        {PLX_LEVEL_EXIT, rkLogical, 2, "<Passed>"},
        {PLX_LEVEL_ERROR, rkSuccess, 0, ""},
        {PLX_LEVEL_ERROR, rkErrorCode, 5, "<Error: 0x00000005> "},
        {PLX_LEVEL_ERROR, rkReturnCode, 0xABCDEF01, "<Return Code: 0xabcdef01> "},
    };
    for (const Case& c : cases) {
        CPLXSimpleLog entry(c.ulLevel, TEXT("x"), c.ulCode, c.ulKind, true, false, PLX_OUTPUT_TEXT);
    }
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), sizeof(cases) / sizeof(cases[0]));
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string level = cases[i].ulLevel == PLX_LEVEL_EXIT ? "EXIT" : "ERROR";
        EXPECT_EQ(entries[i], "<" + level + "> <" + plxExpectedAppName() + "> \"x\" " + cases[i].szExpected);
    }
}

}  // namespace
