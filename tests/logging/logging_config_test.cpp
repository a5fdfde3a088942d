// The logging values in the registry: defaults, raw reads, named settings,
// object lists and the one-time process settings.
#include <gtest/gtest.h>

#include "plx_log_test_env.h"
#include "plx_logging_config.h"
#include "plx_method_trace.h"

namespace {

class LoggingConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_dynamicLoggingState = 0;
        g_maxLogFileNum = 1;
        g_maxLogFileSize = 10240;
    }
    void TearDown() override {
        PlxLogSettings::clear();
        g_dynamicLoggingState = 2;
        g_maxLogFileNum = 1;
        g_maxLogFileSize = 10240;
    }
    CPLXLoggingConfig config;
};

TEST_F(LoggingConfigTest, WithoutTheKeyNothingIsConfigured) {
    PlxLogSettings::clear();
    EXPECT_FALSE(config.isLoggingEnabled());
    EXPECT_EQ(config.getLogDetail(), 0x1B);
    bool bFound = true;
    EXPECT_FALSE(config.findInAllowObjects(TEXT("CPLXFlags"), bFound));
    EXPECT_FALSE(bFound);
    EXPECT_FALSE(config.hasNamedSettings(TEXT("setup")));
    WCHAR szTarget[256] = {};
    EXPECT_FALSE(config.getOutputTarget(PLX_OUTPUT_TEXT, szTarget, 256));

    EXPECT_FALSE(readProcessLogSettings());
    EXPECT_EQ(g_dynamicLoggingState, 2);
    EXPECT_EQ(g_maxLogFileNum, 1u);
    EXPECT_EQ(g_maxLogFileSize, 10240u);
    EXPECT_FALSE(plxTracingOn());
}

TEST_F(LoggingConfigTest, LoggingIsOnForAnyNonzeroValue) {
    PlxLogSettings settings;
    EXPECT_FALSE(config.isLoggingEnabled());
    settings.setDword("Logging", 0);
    EXPECT_FALSE(config.isLoggingEnabled());
    settings.setDword("Logging", 1);
    EXPECT_TRUE(config.isLoggingEnabled());
    settings.setDword("Logging", 0x80000000);
    EXPECT_TRUE(config.isLoggingEnabled());
    // Read afresh: a change takes effect at once.
    settings.remove("Logging");
    EXPECT_FALSE(config.isLoggingEnabled());
}

TEST_F(LoggingConfigTest, RawReadsIgnoreTheType) {
    PlxLogSettings settings;
    DWORD ulOne = 1;
    settings.set("Logging", REG_BINARY, reinterpret_cast<const BYTE*>(&ulOne), 4);
    EXPECT_TRUE(config.isLoggingEnabled());
    settings.setString("LogDetail", "");  // two zero bytes: 0
    EXPECT_EQ(config.getLogDetail(), 0);
}

TEST_F(LoggingConfigTest, LogDetailKeepsTheLow16Bits) {
    PlxLogSettings settings;
    settings.setDword("LogDetail", 0x10000);
    EXPECT_EQ(config.getLogDetail(), 0);
    settings.setDword("LogDetail", 0x12345);
    EXPECT_EQ(config.getLogDetail(), 0x2345);
}

TEST_F(LoggingConfigTest, DataLongerThanTheBufferCountsAsAbsent) {
    PlxLogSettings settings;
    // A "Logging" text of more than 4 bytes does not fit the 4 bytes read.
    settings.setString("Logging", "1234");
    EXPECT_FALSE(config.isLoggingEnabled());
    settings.setString("LogDetail", "xyz");
    EXPECT_EQ(config.getLogDetail(), 0x1B);
    // A "TextOutput" path of more than 127 characters does not fit 256 bytes.
    std::string longPath = "C:\\" + std::string(130, 'a') + "\\log.txt";
    settings.setString("TextOutput", longPath.c_str());
    WCHAR szTarget[256] = {};
    EXPECT_FALSE(config.getOutputTarget(PLX_OUTPUT_TEXT, szTarget, 256));
    settings.setString("TextOutput", "C:\\logs\\log.txt");
    EXPECT_TRUE(config.getOutputTarget(PLX_OUTPUT_TEXT, szTarget, 256));
    EXPECT_EQ(plxNarrow(szTarget, lstrlenW(szTarget)), "C:\\logs\\log.txt");
}

TEST_F(LoggingConfigTest, ReadLogValueRejectsNullArguments) {
    PlxLogSettings settings;
    settings.setDword("Logging", 1);
    DWORD ulValue = 0;
    EXPECT_FALSE(config.readLogValue(nullptr, &ulValue, 4));
    EXPECT_FALSE(config.readLogValue(TEXT("Logging"), nullptr, 4));
    EXPECT_TRUE(config.readLogValue(TEXT("Logging"), &ulValue, 4));
    EXPECT_EQ(ulValue, 1u);
}

TEST_F(LoggingConfigTest, OutputTargets) {
    PlxLogSettings settings;
    settings.setString("XMLOutput", "C:\\x.xml");
    WCHAR szTarget[256] = {};
    EXPECT_FALSE(config.getOutputTarget(PLX_OUTPUT_TEXT, nullptr, 256));
    EXPECT_FALSE(config.getOutputTarget(PLX_OUTPUT_XML, szTarget, 0));
    EXPECT_TRUE(config.getOutputTarget(PLX_OUTPUT_XML, szTarget, 256));
    EXPECT_EQ(plxNarrow(szTarget, lstrlenW(szTarget)), "C:\\x.xml");
    EXPECT_FALSE(config.getOutputTarget(PLX_OUTPUT_SERVER, szTarget, 256));
    // 0x10 has no target and succeeds without reading; 0x40 is no output.
    EXPECT_TRUE(config.getOutputTarget(0x10, szTarget, 256));
    EXPECT_FALSE(config.getOutputTarget(0x40, szTarget, 256));
    EXPECT_FALSE(config.getOutputTarget(0x03, szTarget, 256));
}

TEST_F(LoggingConfigTest, NamedSettingsFields) {
    PlxLogSettings settings;
    settings.setString("setup", "1,27");
    EXPECT_TRUE(config.hasNamedSettings(TEXT("setup")));
    EXPECT_EQ(config.getNamedOutputs(TEXT("setup")), 1);
    EXPECT_EQ(config.getNamedDetail(TEXT("setup")), 27);

    settings.setString("setup", "1,27,x");
    EXPECT_EQ(config.getNamedOutputs(TEXT("setup")), 1);
    EXPECT_EQ(config.getNamedDetail(TEXT("setup")), 27);

    // Leading blanks and signs as the C library converts; low 16 bits kept.
    settings.setString("setup", "  -1, 70000 trailing");
    EXPECT_EQ(config.getNamedOutputs(TEXT("setup")), 0xFFFF);
    EXPECT_EQ(config.getNamedDetail(TEXT("setup")), 70000 & 0xFFFF);

    // No comma: the second field is 0.
    settings.setString("setup", "5");
    EXPECT_EQ(config.getNamedOutputs(TEXT("setup")), 5);
    EXPECT_EQ(config.getNamedDetail(TEXT("setup")), 0);

    settings.setString("setup", "x,y");
    EXPECT_EQ(config.getNamedOutputs(TEXT("setup")), 0);
    EXPECT_EQ(config.getNamedDetail(TEXT("setup")), 0);

    EXPECT_FALSE(config.hasNamedSettings(nullptr));
    EXPECT_FALSE(config.hasNamedSettings(TEXT("other")));
    EXPECT_EQ(config.getNamedOutputs(TEXT("other")), 0);
}

TEST_F(LoggingConfigTest, ObjectListsMatchSubstrings) {
    PlxLogSettings settings;
    bool bFound = false;
    settings.setString("AllowObjects", "CPLXRegistryStringExpand,CPLXFlags");
    EXPECT_TRUE(config.findInAllowObjects(TEXT("CPLXRegistryString"), bFound));
    EXPECT_TRUE(bFound);
    EXPECT_TRUE(config.findInAllowObjects(TEXT("CPLXFlags"), bFound));
    EXPECT_TRUE(bFound);
    // Separators play no part; the match is case-sensitive.
    EXPECT_TRUE(config.findInAllowObjects(TEXT("Expand,CPLX"), bFound));
    EXPECT_TRUE(bFound);
    EXPECT_TRUE(config.findInAllowObjects(TEXT("cplxflags"), bFound));
    EXPECT_FALSE(bFound);
    EXPECT_TRUE(config.findInAllowObjects(TEXT("CPLXFlagsX"), bFound));
    EXPECT_FALSE(bFound);

    settings.setString("AllowObjects", "");
    EXPECT_TRUE(config.findInAllowObjects(TEXT("CPLXFlags"), bFound));
    EXPECT_FALSE(bFound);

    EXPECT_FALSE(config.findInExcludeObjects(TEXT("CPLXFlags"), bFound));
    settings.setString("ExcludeObjects", "CPLXFlags CPLXIni");
    EXPECT_TRUE(config.findInExcludeObjects(TEXT("CPLXIni"), bFound));
    EXPECT_TRUE(bFound);
}

TEST_F(LoggingConfigTest, ObjectListIsReadUpTo1024Bytes) {
    PlxLogSettings settings;
    bool bFound = false;
    // The name sits at characters 500..508, inside the 1024 bytes read.
    settings.setString("AllowObjects", (std::string(500, ' ') + "CPLXFlags").c_str());
    EXPECT_TRUE(config.findInAllowObjects(TEXT("CPLXFlags"), bFound));
    EXPECT_TRUE(bFound);
    // Longer data does not fit and counts as absent.
    settings.setString("AllowObjects", (std::string(600, ' ') + "CPLXFlags").c_str());
    EXPECT_FALSE(config.findInAllowObjects(TEXT("CPLXFlags"), bFound));
}

TEST_F(LoggingConfigTest, DynamicLoggingOneTurnsTracesOn) {
    PlxLogSettings settings;
    settings.setDword("DynamicLogging", 1);
    settings.setDword("MaxLogFileNum", 4);
    settings.setDword("MaxLogFileSize", 20);
    EXPECT_TRUE(readProcessLogSettings());
    EXPECT_EQ(g_dynamicLoggingState, 1);
    EXPECT_EQ(g_maxLogFileNum, 4u);
    EXPECT_EQ(g_maxLogFileSize, 20u);
}

TEST_F(LoggingConfigTest, DynamicLoggingTwoStillReadsTheRotationSettings) {
    PlxLogSettings settings;
    settings.setDword("DynamicLogging", 2);
    settings.setDword("MaxLogFileNum", 3);
    EXPECT_TRUE(readProcessLogSettings());
    EXPECT_EQ(g_dynamicLoggingState, 2);
    EXPECT_EQ(g_maxLogFileNum, 3u);
    EXPECT_EQ(g_maxLogFileSize, 10240u);
}

TEST_F(LoggingConfigTest, WithoutDynamicLoggingTheRotationSettingsAreIgnored) {
    PlxLogSettings settings;
    settings.setDword("MaxLogFileNum", 3);
    settings.setDword("MaxLogFileSize", 1);
    EXPECT_FALSE(readProcessLogSettings());
    EXPECT_EQ(g_dynamicLoggingState, 2);
    EXPECT_EQ(g_maxLogFileNum, 1u);
    EXPECT_EQ(g_maxLogFileSize, 10240u);
}

TEST_F(LoggingConfigTest, TheGateReadsOnceAndKeepsTheLastError) {
    PlxLogSettings settings;
    settings.setDword("DynamicLogging", 1);
    SetLastError(4321);
    EXPECT_TRUE(plxTracingOn());
    EXPECT_EQ(GetLastError(), 4321u);
    // Changing the value has no effect until the next process.
    settings.setDword("DynamicLogging", 0);
    EXPECT_TRUE(plxTracingOn());
    EXPECT_EQ(g_dynamicLoggingState, 1);

    g_dynamicLoggingState = 0;
    settings.remove("DynamicLogging");
    EXPECT_FALSE(plxTracingOn());
    settings.setDword("DynamicLogging", 1);
    EXPECT_FALSE(plxTracingOn());
}

}  // namespace
