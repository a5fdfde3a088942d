// CPLXIni over the platform's profile functions: what counts as found, the
// cut limits, the write reports and what a new section or number looks like.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../logging/plx_log_test_env.h"
#include "../registry/registry_test_env.h"
#include "plx_ini.h"
#include "plx_test_machine.h"

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_case = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_file = "C:\\plxtest\\" + m_case + "\\settings.ini";
    }
    void TearDown() override {
        DeleteFileW(plxW(m_file.c_str()).c_str());
        RemoveDirectoryW(plxW(("C:\\plxtest\\" + m_case).c_str()).c_str());
    }
    // The profile file with this UTF-16 text (BOM included), on a fresh machine.
    void create(const std::string& text) {
        std::string bytes = "\xFF\xFE";
        for (char c : text) {
            bytes += c;
            bytes += '\0';
        }
        m_machine.file(m_file, bytes).create();
    }
    CPLXWCharString file() const { return plxStr(m_file); }
    std::string content() const { return m_machine.readFile(m_file); }

    std::string m_case;
    std::string m_file;
    TestMachine m_machine;
};

// The file's text: UTF-16LE after its byte-order mark, as ASCII.
std::string text(const std::string& bytes) {
    std::string out;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) out += bytes[i];
    return out;
}

}  // namespace

TEST_F(IniTest, IntegersAndTheMinusOneThatCountsAsMissing) {
    create("[s]\r\nn=42\r\nneg=-7\r\nm=-1\r\n");
    PlxLoggingOn logging("IniIntegers");
    CPLXIni ini(file());
    INT value = 5;
    EXPECT_TRUE(ini.getProfileInt(plxStr("s"), plxStr("n"), value));
    EXPECT_EQ(42, value);
    EXPECT_TRUE(ini.getProfileInt(plxStr("s"), plxStr("neg"), value));
    EXPECT_EQ(-7, value);
    for (const char* key : {"m", "absent"}) {
        value = 5;
        EXPECT_FALSE(ini.getProfileInt(plxStr("s"), plxStr(key), value)) << key;
        EXPECT_EQ(5, value) << key;
    }
    EXPECT_TRUE(plxLogHas(logging.lines(), {"GetPrivateProfileInt( ) failed."}));
}

TEST_F(IniTest, StringsThatCountAsFound) {
    std::string max(1021, 'x'), cut(1022, 'y');
    create("[s]\r\na=text\r\nnf=Not Found\r\nempty=\r\nmax=" + max + "\r\ncut=" + cut + "\r\n");
    PlxLoggingOn logging("IniStrings");
    CPLXIni ini(file());
    CPLXWCharString value(TEXT("before"));
    EXPECT_TRUE(ini.getProfileString(plxStr("s"), plxStr("a"), value));
    EXPECT_EQ("text", plxNarrow(value));
    EXPECT_TRUE(ini.getProfileString(plxStr("s"), plxStr("max"), value));
    EXPECT_EQ(1021u, value.getLength());
    for (const char* key : {"nf", "empty", "absent", "cut"}) {
        value = TEXT("before");
        EXPECT_FALSE(ini.getProfileString(plxStr("s"), plxStr(key), value)) << key;
        EXPECT_EQ("before", plxNarrow(value)) << key;
    }
    // Only the cut one is reported: the others are simply not there.
    EXPECT_TRUE(
        plxLogHas(logging.lines(), {"Profile data may be cut at 1024 characters", "section: s, key name: cut"}));
}

TEST_F(IniTest, SectionsAndSectionNames) {
    create("[one]\r\na=1\r\nb=2\r\n[two]\r\n");
    CPLXIni ini(file());
    CPLXDblList<CPLXWCharString> list;
    list.add(plxStr("kept"));
    EXPECT_FALSE(ini.getProfileSection(plxStr("missing"), list));
    EXPECT_EQ(std::vector<std::string>{"kept"}, plxNames(list));
    EXPECT_TRUE(ini.getProfileSection(plxStr("one"), list));
    EXPECT_EQ((std::vector<std::string>{"a=1", "b=2"}), plxNames(list));
    EXPECT_TRUE(ini.getProfileSectionNames(list));
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), plxNames(list));
}

TEST_F(IniTest, WritesNumbersStringsAndSections) {
    create("[old]\r\nk=v\r\n");
    CPLXIni ini(file());
    EXPECT_TRUE(ini.setProfileInt(plxStr("s"), plxStr("n"), -5));
    EXPECT_TRUE(ini.setProfileString(plxStr("s"), plxStr("t"), plxStr("a b")));
    // Creating a section keeps an existing one as it is and adds a missing one.
    EXPECT_TRUE(ini.createProfileSection(plxStr("old")));
    EXPECT_TRUE(ini.createProfileSection(plxStr("new")));
    const std::string written = text(content());
    EXPECT_NE(std::string::npos, written.find("[s]\r\nn=-5\r\nt=a b\r\n")) << written;
    EXPECT_NE(std::string::npos, written.find("[old]\r\nk=v\r\n")) << written;
    CPLXDblList<CPLXWCharString> names;
    EXPECT_TRUE(ini.getProfileSectionNames(names));
    EXPECT_EQ((std::vector<std::string>{"old", "s", "new"}), plxNames(names));
    CPLXDblList<CPLXWCharString> lines;
    EXPECT_FALSE(ini.getProfileSection(plxStr("new"), lines)) << "the new section is empty";
}

TEST_F(IniTest, WriteFailuresAndLineBreaksAreReported) {
    m_machine.create();
    PlxLoggingOn logging("IniWrites");
    CPLXIni missingFolder(plxStr("C:\\plxtest\\no such folder\\x.ini"));
    EXPECT_FALSE(missingFolder.setProfileString(plxStr("s"), plxStr("k"), plxStr("v")));
    EXPECT_FALSE(missingFolder.setProfileInt(plxStr("s"), plxStr("n"), 1));
    EXPECT_FALSE(missingFolder.createProfileSection(plxStr("s")));
    CPLXIni ini(file());
    EXPECT_FALSE(ini.setProfileString(plxStr("s"), plxStr("k"), plxStr("two\r\nlines")));
    const std::vector<std::string> lines = logging.lines();
    EXPECT_TRUE(plxLogHas(lines, {"Unable to write profile string ( section: s, key name: k )"}));
    EXPECT_TRUE(plxLogHas(lines, {"Unable to write profile string ( section: s, key name: n )"}));
    EXPECT_TRUE(plxLogHas(lines, {"An unhandled exception occurred"}));
    EXPECT_TRUE(plxLogHas(lines, {"Unable to write profile section ( section: s )"}));
    EXPECT_TRUE(plxLogHas(lines, {"A bad argument was provided ( value )"}));
    EXPECT_FALSE(plxFileExists(plxW(m_file.c_str())));
}
