// When exceptions are written: at creation, by handlers, at destruction; the
// handler macros; the last-error value.
#include <gtest/gtest.h>

#include <stdexcept>

#include "../logging/plx_log_test_env.h"
#include "plx_handlers.h"

namespace {

std::string head(const char* szLevel) { return std::string("<") + szLevel + "> <" + plxExpectedAppName() + "> "; }

// The entry up to its source part: the line numbers are checked separately.
std::string upToSource(const std::string& entry) {
    size_t source = entry.rfind(" <exceptions_logging_test.cpp, ");
    return source == std::string::npos ? entry : entry.substr(0, source + 1);
}

TEST(ExceptionLoggingTest, BadArgumentIsWrittenAtOnce) {
    PlxLoggingOn on("badarg");
    ULONG ulLine = __LINE__ + 1;
    CPLXBadArgException e(TEXT("ulPos"), TEXT("position is out of string bounds"), PLX_SRC, PLX_LOG_NOW);
    EXPECT_TRUE(e.isLogged());
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], head("EXCEPTION_BAD") +
                              "\"A bad argument was provided ( ulPos ). position is out of string bounds\" "
                              "<exceptions_logging_test.cpp, " +
                              std::to_string(ulLine) + "> ");
}

TEST(ExceptionLoggingTest, ErrorCodesAppearInTheLine) {
    PlxLoggingOn on("errorcode");
    {
        CPLXRegEnumKeyException e(TEXT("Software\\X"), 5, TEXT("CPLXRegistryKey"), TEXT("enumSubKeys"), PLX_SRC,
                                  PLX_LOG_NOW);
    }
    { CPLXMemAllocException e(TEXT("m_pBuffer"), PLX_SRC, PLX_LOG_NOW); }
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(upToSource(entries[0]), head("EXCEPTION_BAD") +
                                          "<CPLXRegistryKey::enumSubKeys> \"Unable to enumerate subkeys from key ( "
                                          "\"Software\\X\" )\" <Error: 0x00000005> ");
    // 0xFFFFFFFF stands for no code.
    EXPECT_EQ(upToSource(entries[1]), head("EXCEPTION_BAD") + "\"Unable to allocate memory ( m_pBuffer )\" ");
}

TEST(ExceptionLoggingTest, MemAllocIsWrittenOnceOnly) {
    PlxLoggingOn on("memalloc");
    try {
        throw CPLXMemAllocException(TEXT("m_pBuffer"), PLX_SRC, PLX_LOG_NOW);
    } catch (CPLXLogging& e) {
        plxReportCaught(e);  // already written: not again
    }
    EXPECT_EQ(on.lines().size(), 1u);
}

bool copyFails() {
    try {
        throw CPLXMemoryCopyException(34, PLX_SRC, true);
    }
    PLX_CATCH_RETURN(false)
}

TEST(ExceptionLoggingTest, MemoryCopyIsWrittenByTheHandlerAndAtDestruction) {
    PlxLoggingOn on("memcopy");
    EXPECT_FALSE(copyFails());
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(upToSource(entries[0]), head("EXCEPTION_BAD") + "\"memcpy() function failed\" <Error: 0x00000022> ");
    EXPECT_EQ(entries[1], entries[0]);
}

TEST(ExceptionLoggingTest, BufferInitIsNeverWrittenAtCreation) {
    PlxLoggingOn on("bufferinit");
    {
        CPLXBufferInitException e(PLX_SRC, false);
        EXPECT_FALSE(e.isLogged());
    }
    EXPECT_FALSE(on.log().exists());
    { CPLXBufferInitException e(PLX_SRC, true); }
    EXPECT_EQ(on.lines().size(), 1u);
}

bool onlyCatchAll() {
    try {
        throw CPLXBadArgException(TEXT("ulPos"), TEXT("position is out of string bounds"), PLX_SRC, PLX_LOG_NOW);
    }
    PLX_CATCH_ALL_RETURN(false)
}

TEST(ExceptionLoggingTest, OnlyACatchAllWritesTwoEntries) {
    PlxLoggingOn on("catchall");
    errno = 0;
    EXPECT_FALSE(onlyCatchAll());
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(upToSource(entries[0]),
              head("EXCEPTION_BAD") + "\"A bad argument was provided ( ulPos ). position is out of string bounds\" ");
    EXPECT_EQ(upToSource(entries[1]), head("EXCEPTION_BAD") + "\"An unhandled exception occurred\" ");
    // The unhandled report carries the handler's position, after the raise.
    auto lineOf = [](const std::string& entry) { return std::stoul(entry.substr(entry.rfind(", ") + 2)); };
    EXPECT_GT(lineOf(entries[1]), lineOf(entries[0]));
}

ULONG g_ulFailValue = 7;

int foreignFailure(bool bLastError) {
    SetLastError(ERROR_SHARING_VIOLATION);
    errno = ERANGE;
    if (bLastError) {
        try {
            throw std::runtime_error("not ours");
        }
        PLX_CATCH_RETURN_LASTERROR(-1)
    }
    try {
        throw std::runtime_error("not ours");
    }
    PLX_CATCH_RETURN(static_cast<int>(g_ulFailValue))
}

TEST(ExceptionLoggingTest, ForeignExceptionsBecomeUnhandledReports) {
    PlxLoggingOn on("foreign");
    EXPECT_EQ(foreignFailure(false), 7);
    EXPECT_EQ(foreignFailure(true), -1);
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    char szErrno[32];
    snprintf(szErrno, sizeof(szErrno), "<Error: 0x%08x> ", static_cast<unsigned>(ERANGE));
    EXPECT_EQ(upToSource(entries[0]), head("EXCEPTION_BAD") + "\"An unhandled exception occurred\" " + szErrno);
    EXPECT_EQ(upToSource(entries[1]),
              head("EXCEPTION_BAD") + "\"An unhandled exception occurred\" <Error: 0x00000020> ");
}

TEST(ExceptionLoggingTest, FilteredOutExceptionsGetASecondChanceInTheHandler) {
    PlxLoggingOn on("secondchance");
    on.settings().setDword("Logging", 0);
    try {
        CPLXRegKeyCreateException e(TEXT("K"), 5, TEXT("CPLXRegistryKey"), TEXT("create"), PLX_SRC, PLX_LOG_NOW);
        EXPECT_FALSE(e.isLogged());
        on.settings().setDword("Logging", 1);
        throw e;
    } catch (CPLXLogging& caught) {
        EXPECT_FALSE(caught.isLogged());
        plxReportCaught(caught);
        EXPECT_TRUE(caught.isLogged());
    }
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 1u);
    // Kind rkSuccess shows no code outside EXIT lines.
    EXPECT_EQ(upToSource(entries[0]),
              head("EXCEPTION_BAD") + "<CPLXRegistryKey::create> \"Unable to create registry key ( \"K\" )\" ");
}

TEST(ExceptionLoggingTest, CreatingAndCatchingKeepsTheLastError) {
    PlxLoggingOn on("lasterror");
    SetLastError(ERROR_FILE_NOT_FOUND);
    try {
        throw CPLXRegKeyCreateException(TEXT("K"), 5, TEXT("CPLXRegistryKey"), TEXT("create"), PLX_SRC, PLX_LOG_NOW);
    } catch (CPLXLogging&) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    SetLastError(ERROR_ACCESS_DENIED);
    plxReportUnhandled(1, PLX_SRC);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // The first file creation and a rotation inside the write also keep it.
    on.log().removeFiles();
    g_maxLogFileSize = 0;
    SetLastError(ERROR_INVALID_NAME);
    { CPLXMemoryCopyException e(1, PLX_SRC, true); }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(on.lines().size(), 1u);
}

TEST(ExceptionLoggingTest, CopiesCarryFlagsAndFreshTexts) {
    PlxLoggingOn on("copy");
    CPLXMemoryCopyException original(9, PLX_SRC, true);
    {
        CPLXMemoryCopyException copy(original);
        EXPECT_NE(copy.getRecord().m_szMessage, original.getRecord().m_szMessage);
        EXPECT_EQ(lstrcmpW(copy.getRecord().m_szMessage, original.getRecord().m_szMessage), 0);
        EXPECT_EQ(copy.getRecord().m_ulCode, 9u);
    }
    // The copy kept log on destroy: its destruction wrote it.
    EXPECT_EQ(on.lines().size(), 1u);
}

}  // namespace
