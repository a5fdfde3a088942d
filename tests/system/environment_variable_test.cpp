// Reading environment variables by name.
#include <gtest/gtest.h>

#include "../logging/plx_log_test_env.h"
#include "plx_environment_variable.h"

namespace {

TEST(EnvironmentVariableTest, ReadsAPresentVariable) {
    SetEnvironmentVariableW(TEXT("PLXTestDrive"), TEXT("D:"));
    CPLXEnvironmentVariable variable(TEXT("PLXTestDrive"));
    CPLXWCharString value;
    EXPECT_TRUE(variable.getValue(value));
    EXPECT_EQ(plxNarrow(value), "D:");
    SetEnvironmentVariableW(TEXT("PLXTestDrive"), nullptr);
}

TEST(EnvironmentVariableTest, MissingOrEmptyReadsAsAbsent) {
    SetEnvironmentVariableW(TEXT("PLXTestMissing"), nullptr);
    CPLXWCharString value(TEXT("unchanged"));
    EXPECT_FALSE(CPLXEnvironmentVariable(TEXT("PLXTestMissing")).getValue(value));
    EXPECT_EQ(plxNarrow(value), "unchanged");
    SetEnvironmentVariableW(TEXT("PLXTestEmpty"), TEXT(""));
    EXPECT_FALSE(CPLXEnvironmentVariable(TEXT("PLXTestEmpty")).getValue(value));
    EXPECT_EQ(plxNarrow(value), "unchanged");
    SetEnvironmentVariableW(TEXT("PLXTestEmpty"), nullptr);
}

TEST(EnvironmentVariableTest, LongValuesAreReadWhole) {
    PlxWString longValue(32000, 'v');
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXTestLong"), longValue.c_str()));
    CPLXWCharString value;
    EXPECT_TRUE(CPLXEnvironmentVariable(TEXT("PLXTestLong")).getValue(value));
    EXPECT_EQ(value.getLength(), 32000u);
    SetEnvironmentVariableW(TEXT("PLXTestLong"), nullptr);
}

TEST(EnvironmentVariableTest, AnUnsetNameIsReported) {
    PlxLoggingOn on("envname");
    CPLXWCharString value(TEXT("unchanged"));
    CPLXEnvironmentVariable variable{CPLXWCharString()};
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    EXPECT_FALSE(variable.getValue(value));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
    EXPECT_EQ(plxNarrow(value), "unchanged");
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(
        entries[0].substr(0, entries[0].rfind("<plx_environment_variable.cpp, ")),
        "<EXCEPTION_BAD> <" + plxExpectedAppName() + "> \"The environment variable name has not been initialized\" ");
}

TEST(EnvironmentVariableTest, OperationsAreTraced) {
    PlxLoggingOn on("envtrace", 0x031B);
    on.tracesOn();
    SetEnvironmentVariableW(TEXT("PLXTestDrive"), TEXT("E:"));
    CPLXEnvironmentVariable variable(TEXT("PLXTestDrive"));
    CPLXWCharString value;
    EXPECT_TRUE(variable.getValue(value));
    SetEnvironmentVariableW(TEXT("PLXTestDrive"), nullptr);
    std::vector<std::string> entries = on.entries();
    std::string app = "<" + plxExpectedAppName() + "> ";
    bool bConstructor = false;
    bool bGetValue = false;
    for (const std::string& entry : entries) {
        bConstructor = bConstructor || entry.find("<EXIT> " + app +
                                                  "<CPLXEnvironmentVariable::CPLXEnvironmentVariable> <Passed> "
                                                  "<plx_environment_variable.cpp, ") == 0;
        bGetValue = bGetValue || entry.find("<EXIT> " + app +
                                            "<CPLXEnvironmentVariable::getValue> <Passed> "
                                            "<plx_environment_variable.cpp, ") == 0;
    }
    EXPECT_TRUE(bConstructor);
    EXPECT_TRUE(bGetValue);
}

}  // namespace
