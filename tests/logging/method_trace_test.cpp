// Method traces: the gate, ENTRY and EXIT lines with the recorded result,
// and the last-error value around them.
#include <gtest/gtest.h>

#include "plx_handlers.h"
#include "plx_log_test_env.h"
#include "plx_method_trace.h"

namespace {

const ULONG TRACE_DETAIL = 0x031B;

bool tracedSuccess(bool bResult) {
    PLX_TRACE("CPLXTraced", "succeed");
    return plxTrace.success(bResult);
}

bool tracedPredicate(bool bAnswer) {
    PLX_TRACE("CPLXTraced", "isSo");
    return plxTrace.logical(bAnswer);
}

void tracedDone() {
    PLX_TRACE("CPLXTraced", "Default Constructor");
    plxTrace.done();
}

// Fails through its handler: the EXIT line comes after the handler's report.
bool tracedFailure() {
    PLX_TRACE("CPLXTraced", "fail");
    try {
        throw CPLXBadArgException(TEXT("ulPos"), TEXT("bad"), PLX_SRC, PLX_LOG_NOW);
    }
    PLX_CATCH_RETURN(false)
}

std::string traceLine(const char* szLevel, const char* szMethod, const char* szResult) {
    return std::string("<") + szLevel + "> <" + plxExpectedAppName() + "> <CPLXTraced::" + szMethod + "> " + szResult +
           "<method_trace_test.cpp, ";
}

// The entry without its line number and the closing "> ".
std::string withoutLine(const std::string& entry) {
    size_t comma = entry.rfind(", ");
    return comma == std::string::npos ? entry : entry.substr(0, comma + 2);
}

TEST(MethodTraceTest, EntryAndExitLines) {
    PlxLoggingOn on("trace", TRACE_DETAIL);
    on.tracesOn();
    EXPECT_TRUE(tracedSuccess(true));
    EXPECT_FALSE(tracedSuccess(false));
    EXPECT_TRUE(tracedPredicate(true));
    EXPECT_FALSE(tracedPredicate(false));
    tracedDone();
    std::vector<std::string> entries = on.entries();
    std::vector<std::string> expected = {
        traceLine("ENTRY", "succeed", ""),
        traceLine("EXIT", "succeed", "<Passed> "),
        traceLine("ENTRY", "succeed", ""),
        traceLine("EXIT", "succeed", "<Failed> "),
        traceLine("ENTRY", "isSo", ""),
        traceLine("EXIT", "isSo", "<Passed> "),
        traceLine("ENTRY", "isSo", ""),
        traceLine("EXIT", "isSo", "<Failed Logical Result> "),
        traceLine("ENTRY", "Default Constructor", ""),
        traceLine("EXIT", "Default Constructor", "<Passed> "),
    };
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(withoutLine(entries[i]), expected[i]);
        EXPECT_EQ(entries[i].substr(entries[i].size() - 2), "> ");
    }
    // ENTRY and EXIT carry the position of the trace.
    EXPECT_EQ(entries[0].substr(entries[0].rfind(", ")), entries[1].substr(entries[1].rfind(", ")));
}

TEST(MethodTraceTest, ExitComesAfterTheHandlersReport) {
    PlxLoggingOn on("tracehandler", TRACE_DETAIL);
    on.tracesOn();
    EXPECT_FALSE(tracedFailure());
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(withoutLine(entries[0]), traceLine("ENTRY", "fail", ""));
    EXPECT_EQ(withoutLine(entries[1]), "<EXCEPTION_BAD> <" + plxExpectedAppName() +
                                           "> \"A bad argument was provided ( ulPos ). bad\" <method_trace_test.cpp, ");
    EXPECT_EQ(withoutLine(entries[2]), traceLine("EXIT", "fail", "<Failed> "));
}

TEST(MethodTraceTest, DefaultDetailFiltersTracesOut) {
    PlxLoggingOn on("tracedefault");
    on.tracesOn();
    EXPECT_TRUE(tracedSuccess(true));
    EXPECT_FALSE(on.log().exists());
    on.settings().setDword("LogDetail", 0x2300);
    EXPECT_TRUE(tracedSuccess(true));      // ENTRY only
    EXPECT_FALSE(tracedSuccess(false));    // ENTRY and EXIT
    EXPECT_FALSE(tracedPredicate(false));  // ENTRY only
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(withoutLine(entries[2]), traceLine("EXIT", "succeed", "<Failed> "));
}

TEST(MethodTraceTest, NoTracesWithoutDynamicLoggingOrLogging) {
    PlxLoggingOn on("traceoff", TRACE_DETAIL);
    EXPECT_TRUE(tracedSuccess(true));  // state 2: traces off
    EXPECT_FALSE(on.log().exists());
    on.tracesOn();
    on.settings().setDword("Logging", 0);
    EXPECT_TRUE(tracedSuccess(true));
    EXPECT_FALSE(on.log().exists());
    // The first traced operation reads the process settings.
    on.settings().setDword("Logging", 1);
    on.settings().setDword("DynamicLogging", 1);
    g_dynamicLoggingState = 0;
    EXPECT_TRUE(tracedSuccess(true));
    EXPECT_EQ(g_dynamicLoggingState, 1);
    EXPECT_EQ(on.lines().size(), 2u);
}

TEST(MethodTraceTest, TracesKeepTheLastError) {
    PlxLoggingOn on("tracelasterror", TRACE_DETAIL);
    on.tracesOn();
    SetLastError(ERROR_INVALID_DATA);
    tracedDone();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    // A traced operation that sets the last error leaves it for its caller.
    auto setsError = []() {
        PLX_TRACE("CPLXTraced", "setsError");
        SetLastError(ERROR_FILE_NOT_FOUND);
        return plxTrace.success(false);
    };
    setsError();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(on.lines().size(), 4u);
}

TEST(MethodTraceTest, ReturnCodeResult) {
    PlxLoggingOn on("tracereturncode", TRACE_DETAIL);
    on.tracesOn();
    auto traced = []() {
        PLX_TRACE("CPLXTraced", "count");
        return plxTrace.returnCode(0x2A);
    };
    EXPECT_EQ(traced(), 0x2Au);
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(withoutLine(entries[1]), traceLine("EXIT", "count", "<Return Code: 0x0000002a> "));
}

}  // namespace
