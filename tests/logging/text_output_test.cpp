// The text log file: byte layout, line composition, file choice and rotation.
#include <gtest/gtest.h>

#include "plx_log_test_env.h"
#include "plx_logging.h"
#include "plx_logging_output_text.h"
#include "plx_scoped_handle.h"

namespace {

std::string app() { return plxExpectedAppName(); }

bool writeFull(ULONG ulLevel, LPCWSTR szMessage, ULONG ulCode, ULONG ulKind, LPCWSTR szClass, LPCWSTR szMethod,
               LPCWSTR szSource, ULONG ulLine) {
    CPLXDetailedLog entry(ulLevel, szMessage, ulCode, ulKind, szClass, szMethod, szSource, ulLine, false, false,
                          PLX_OUTPUT_TEXT);
    return entry.logNow();
}

TEST(TextOutputTest, NewFileStartsWithOneByteOrderMark) {
    PlxLoggingOn on("bom");
    ASSERT_TRUE(writeFull(PLX_LEVEL_ERROR, TEXT("first"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
    ASSERT_TRUE(writeFull(PLX_LEVEL_ERROR, TEXT("second"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
    PlxWString units = on.log().units();
    ASSERT_GT(units.size(), 2u);
    EXPECT_EQ(units[0], 0xFEFF);
    EXPECT_EQ(units.find(static_cast<WCHAR>(0xFEFF), 1), PlxWString::npos);
    EXPECT_EQ(units.substr(units.size() - 2), plxW("\r\n"));
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "<ERROR> <" + app() + "> \"first\" ");
    EXPECT_EQ(entries[1], "<ERROR> <" + app() + "> \"second\" ");
}

TEST(TextOutputTest, ExistingFileGetsNoMark) {
    PlxLoggingOn on("existing");
    CreateDirectoryW(on.log().directory().c_str(), nullptr);
    CPLXScopedKernelHandle hFile(
        CreateFileW(on.log().path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(hFile.isValid());
    DWORD ulWritten = 0;
    WriteFile(hFile.get(), "ab", 2, &ulWritten, nullptr);
    hFile.reset();  // opened without sharing, which would keep the log out
    ASSERT_TRUE(writeFull(PLX_LEVEL_ERROR, nullptr, 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
    PlxWString units = on.log().units();
    ASSERT_GT(units.size(), 1u);
    EXPECT_EQ(units[0], static_cast<WCHAR>('a' | ('b' << 8)));
    EXPECT_EQ(plxAfterTime(plxNarrow(units.substr(1))), "<ERROR> <" + app() + "> \r\n");
}

TEST(TextOutputTest, FullFormParts) {
    PlxLoggingOn on("fullform", 0x0FFF);
    writeFull(PLX_LEVEL_EXIT, nullptr, 1, rkSuccess, TEXT("CPLXFlags"), TEXT("hasFlags"), TEXT(".\\plx_flags.cpp"), 21);
    writeFull(PLX_LEVEL_EXIT, nullptr, 0, rkSuccess, TEXT("CPLXA"), nullptr, TEXT("src\\a.cpp"), 0);
    writeFull(PLX_LEVEL_EXIT, nullptr, 0, rkLogical, nullptr, TEXT("op"), nullptr, 9);
    writeFull(PLX_LEVEL_ENTRY, TEXT("say \"hi\""), 0, rkSuccess, TEXT("CPLXA"), TEXT("op"), TEXT("a.cpp"), 3);
    writeFull(PLX_LEVEL_ERROR, nullptr, 5, rkErrorCode, nullptr, nullptr, nullptr, 0);
    writeFull(PLX_LEVEL_ERROR, nullptr, 0xFFFFFFFF, rkErrorCode, nullptr, nullptr, nullptr, 0);
    writeFull(PLX_LEVEL_ERROR, nullptr, 0, rkReturnCode, nullptr, nullptr, nullptr, 0);
    writeFull(PLX_LEVEL_ERROR, nullptr, 1, 7, nullptr, nullptr, nullptr, 0);
    writeFull(PLX_LEVEL_EXIT, nullptr, 0, rkLogical, nullptr, nullptr, nullptr, 0);
    std::vector<std::string> entries = on.entries();
    std::string a = "<" + app() + "> ";
    std::vector<std::string> expected = {
        "<EXIT> " + a + "<CPLXFlags::hasFlags> <Passed> <plx_flags.cpp, 21> ",
        "<EXIT> " + a + "<CPLXA> <Failed> <a.cpp>",
        "<EXIT> " + a + "<::op> <Failed Logical Result> <9> ",
        "<ENTRY> " + a + "<CPLXA::op> \"say \"hi\"\" <a.cpp, 3> ",
        "<ERROR> " + a + "<Error: 0x00000005> ",
        "<ERROR> " + a,
        "<ERROR> " + a + "<Return Code: 0x00000000> ",
        "<ERROR> " + a,
        "<EXIT> " + a + "<Failed Logical Result> ",
    };
    EXPECT_EQ(entries, expected);
}

TEST(TextOutputTest, LogFileOfTheRecordIsUsedAndKept) {
    PlxLoggingOn on("recordfile");
    PlxTestLog own("recordfile_own", "own.txt");
    CPLXDetailedLog entry(PLX_LEVEL_ERROR, TEXT("x"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0, false, false,
                          PLX_OUTPUT_TEXT, nullptr, own.path().c_str());
    EXPECT_TRUE(entry.logNow());
    EXPECT_EQ(own.lines().size(), 1u);
    EXPECT_FALSE(on.log().exists());

    // Without one, the "TextOutput" path is read once and then kept.
    CPLXDetailedLog second(PLX_LEVEL_ERROR, TEXT("y"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0, false, false,
                           PLX_OUTPUT_TEXT);
    EXPECT_TRUE(second.logNow());
    ASSERT_NE(second.getRecord().m_szLogFile, nullptr);
    EXPECT_EQ(PlxWString(second.getRecord().m_szLogFile), on.log().path());
    on.settings().setString("TextOutput", own.path());
    EXPECT_TRUE(second.logNow());
    EXPECT_EQ(on.lines().size(), 2u);
    EXPECT_EQ(own.lines().size(), 1u);
}

TEST(TextOutputTest, OneMissingDirectoryLevelIsCreated) {
    PlxLoggingOn on("onelevel");
    EXPECT_FALSE(plxFileExists(on.log().directory()));
    EXPECT_TRUE(writeFull(PLX_LEVEL_ERROR, TEXT("x"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(on.lines().size(), 1u);
}

TEST(TextOutputTest, TwoMissingLevelsLeaveTheEntryUnwritten) {
    PlxLoggingOn on("twolevels");
    on.settings().setString("TextOutput", "C:\\plxlogtest\\twolevels\\sub\\log.txt");
    EXPECT_FALSE(writeFull(PLX_LEVEL_ERROR, TEXT("x"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
    EXPECT_FALSE(plxFileExists(plxW("C:\\plxlogtest\\twolevels\\sub")));
    // The short form fails alike.
    CPLXSimpleLog simple(PLX_LEVEL_ERROR, TEXT("x"), 0, rkErrorCode, false, false, PLX_OUTPUT_TEXT);
    EXPECT_FALSE(simple.logNow());
}

TEST(TextOutputTest, FullFormNeedsADriveLetter) {
    PlxLoggingOn on("nodrive");
    on.settings().setString("TextOutput", "\\plxlogtest\\nodrive\\log.txt");
    EXPECT_FALSE(writeFull(PLX_LEVEL_ERROR, TEXT("x"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
    on.settings().setString("TextOutput", "C:log.txt");  // no directory
    EXPECT_FALSE(writeFull(PLX_LEVEL_ERROR, TEXT("x"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
    on.settings().remove("TextOutput");
    EXPECT_FALSE(writeFull(PLX_LEVEL_ERROR, TEXT("x"), 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
}

TEST(TextOutputTest, LongLinesAreCutAndStillEnded) {
    PlxLoggingOn on("longline");
    PlxWString message(3000, 'm');
    EXPECT_TRUE(
        writeFull(PLX_LEVEL_ERROR, message.c_str(), 0, rkErrorCode, TEXT("CPLXA"), TEXT("op"), TEXT("a.cpp"), 3));
    PlxWString units = on.log().units();
    // BOM, then exactly one full line buffer of 1024 units ending in CR LF.
    ASSERT_EQ(units.size(), 1u + PLX_LOG_LINE_SIZE);
    EXPECT_EQ(units.substr(units.size() - 2), plxW("\r\n"));
    EXPECT_EQ(units.find(plxW("\r\n")), units.size() - 2);
    EXPECT_EQ(g_logBytesWritten, PLX_LOG_LINE_SIZE * 2u);
    // A pair of surrogates is never split at the cut.
    on.log().removeFiles();
    PlxWString pairs;
    for (int i = 0; i < 600; ++i) {
        pairs += static_cast<WCHAR>(0xD83D);
        pairs += static_cast<WCHAR>(0xDE00);
    }
    EXPECT_TRUE(writeFull(PLX_LEVEL_ERROR, pairs.c_str(), 0, rkErrorCode, nullptr, nullptr, nullptr, 0));
    units = on.log().units();
    ASSERT_GT(units.size(), 3u);
    WCHAR last = units[units.size() - 3];
    EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF);
    EXPECT_LE(units.size(), 1u + PLX_LOG_LINE_SIZE);
}

TEST(TextOutputTest, ShortFormNeverCountsOrRotates) {
    PlxLoggingOn on("shortnorotate");
    g_maxLogFileNum = 1;
    g_maxLogFileSize = 1;
    PlxWString message(900, 's');
    for (int i = 0; i < 5; ++i) {
        CPLXSimpleLog entry(PLX_LEVEL_ERROR, message.c_str(), 0, rkErrorCode, true, false, PLX_OUTPUT_TEXT);
    }
    EXPECT_EQ(g_logBytesWritten, 0u);
    EXPECT_EQ(g_logRotations, 0);
    EXPECT_EQ(on.lines().size(), 5u);
    EXPECT_FALSE(plxFileExists(on.log().numbered(1)));
}

// Writes one full-form line of more than 2 KB, which with "MaxLogFileSize" 1
// makes every line rotate the file.
void writeBigLine(int nId) {
    char szTag[16];
    snprintf(szTag, sizeof(szTag), "line%d", nId);
    PlxWString message = plxW(szTag) + PlxWString(1000, '.');
    writeFull(PLX_LEVEL_ERROR, message.c_str(), 0, rkErrorCode, nullptr, nullptr, nullptr, 0);
}

std::string tagOf(const PlxTestLog& log, const PlxWString& path) {
    std::vector<std::string> lines = log.lines(path);
    if (lines.size() != 1) {
        return "lines: " + std::to_string(lines.size());
    }
    std::string rest = plxAfterTime(lines[0]);
    size_t start = rest.find("\"line");
    return start == std::string::npos ? rest : rest.substr(start + 1, 5);
}

TEST(RotationTest, ThreeCopiesKeepTheNewestData) {
    PlxLoggingOn on("rotate3");
    // The process settings as an administrator sets them.
    on.settings().setDword("DynamicLogging", 0);
    on.settings().setDword("MaxLogFileNum", 3);
    on.settings().setDword("MaxLogFileSize", 1);
    g_dynamicLoggingState = 0;
    EXPECT_FALSE(plxTracingOn());
    ASSERT_EQ(g_maxLogFileNum, 3u);
    ASSERT_EQ(g_maxLogFileSize, 1u);

    for (int i = 1; i <= 5; ++i) {
        writeBigLine(i);
        EXPECT_EQ(g_logRotations, i);
        EXPECT_EQ(g_logBytesWritten, 0u);
    }
    EXPECT_FALSE(on.log().exists());
    EXPECT_EQ(tagOf(on.log(), on.log().numbered(1)), "line5");
    EXPECT_EQ(tagOf(on.log(), on.log().numbered(2)), "line4");
    EXPECT_EQ(tagOf(on.log(), on.log().numbered(3)), "line3");
    EXPECT_FALSE(plxFileExists(on.log().numbered(4)));
    EXPECT_FALSE(plxFileExists(on.log().numbered(5)));
    EXPECT_FALSE(plxFileExists(on.log().numbered(6)));
}

TEST(RotationTest, OneCopyIsReplacedEachTime) {
    PlxLoggingOn on("rotate1");
    g_maxLogFileSize = 1;
    g_maxLogFileNum = 1;
    for (int i = 1; i <= 3; ++i) {
        writeBigLine(i);
    }
    EXPECT_EQ(g_logRotations, 3);
    EXPECT_EQ(tagOf(on.log(), on.log().numbered(1)), "line3");
    EXPECT_FALSE(plxFileExists(on.log().numbered(2)));
}

TEST(RotationTest, RotationNeedsMoreThanTheLimitWritten) {
    PlxLoggingOn on("rotatelimit");
    g_maxLogFileSize = 2;  // 2 KB: rotate once more than 3 KB are written
    PlxWString message(400, 'x');
    int nLines = 0;
    while (g_logRotations == 0 && nLines < 20) {
        writeFull(PLX_LEVEL_ERROR, message.c_str(), 0, rkErrorCode, nullptr, nullptr, nullptr, 0);
        ++nLines;
    }
    EXPECT_EQ(g_logRotations, 1);
    // Each line is about 920 bytes: the fourth passes 3 KB.
    EXPECT_EQ(nLines, 4);
    EXPECT_EQ(on.log().lines(on.log().numbered(1)).size(), 4u);
}

TEST(RotationTest, ZeroSizeOrNumberNeverRotates) {
    PlxLoggingOn on("rotatezero");
    g_maxLogFileSize = 0;
    g_maxLogFileNum = 3;
    writeBigLine(1);
    writeBigLine(2);
    g_maxLogFileSize = 1;
    g_maxLogFileNum = 0;
    writeBigLine(3);
    EXPECT_EQ(g_logRotations, 0);
    EXPECT_EQ(on.lines().size(), 3u);
    EXPECT_FALSE(plxFileExists(on.log().numbered(1)));
}

}  // namespace
