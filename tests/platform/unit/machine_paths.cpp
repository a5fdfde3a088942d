// Mapping of Windows paths onto the machine directory and the host.
#include "plx_test_machine.h"
#include "plx_test_text.h"
#include "sim_unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

using namespace simunit;

namespace {

bool createFile(const std::u16string& path, const std::string& bytes = "x") {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return true;
}

// The host path as a Z: path.
std::u16string onZ(std::string host) {
    std::replace(host.begin(), host.end(), '/', '\\');
    return plxW("Z:" + host);
}

class MachinePaths : public ::testing::Test {
protected:
    void SetUp() override {
        m.create();
        GetCurrentDirectoryW(MAX_PATH, saved);
    }
    void TearDown() override { SetCurrentDirectoryW(saved); }
    std::string c(const std::string& rest) const { return m.dir() + "/drive_c/" + rest; }

    TestMachine m;
    WCHAR saved[MAX_PATH];
};

}  // namespace

TEST_F(MachinePaths, DriveCIsTheMachinesDriveC) {
    ASSERT_TRUE(createFile(u"C:\\ProgramData\\New Dir.txt"));
    EXPECT_TRUE(hostExists(c("ProgramData/New Dir.txt")));
    EXPECT_EQ("x", m.readFile("C:\\ProgramData\\New Dir.txt"));
}

TEST_F(MachinePaths, ExistingNamesMatchIgnoringCaseNewNamesKeepTheirs) {
    ASSERT_TRUE(CreateDirectoryW(u"c:\\PROGRAM FILES\\Orvane", nullptr));
    EXPECT_TRUE(hostExists(c("Program Files/Orvane"))) << "the existing folder is reused";
    EXPECT_FALSE(hostExists(c("PROGRAM FILES")));
    ASSERT_TRUE(createFile(u"C:\\program files\\ORVANE\\MixedCase.Txt"));
    EXPECT_TRUE(hostExists(c("Program Files/Orvane/MixedCase.Txt")));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:/Program Files/orvane/mixedcase.txt"));
}

TEST_F(MachinePaths, RelativePathsAndDots) {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\a", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"C:\\a\\b", nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\A\\b\\"));
    WCHAR cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_EQ("C:\\A\\b", plxNarrow(cwd)) << "kept as written, without the trailing separator";
    ASSERT_TRUE(createFile(u"..\\up.txt"));
    EXPECT_TRUE(hostExists(c("a/up.txt")));
    ASSERT_TRUE(createFile(u"here.txt"));
    EXPECT_TRUE(hostExists(c("a/b/here.txt")));
    ASSERT_TRUE(createFile(u"\\rooted.txt"));
    EXPECT_TRUE(hostExists(c("rooted.txt"))) << "a leading separator is the current drive's root";
    ASSERT_TRUE(createFile(u"C:\\..\\..\\above.txt"));
    EXPECT_TRUE(hostExists(c("above.txt"))) << "\"..\" stops at the root";
    ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\"));
    GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_EQ("C:\\", plxNarrow(cwd));
}

TEST_F(MachinePaths, OtherDrivesAndZ) {
    ASSERT_EQ(0, system(("mkdir -p '" + m.dir() + "/drive_d'").c_str()));
    ASSERT_TRUE(createFile(u"d:\\on-d.txt"));
    EXPECT_TRUE(hostExists(m.dir() + "/drive_d/on-d.txt"));
    EXPECT_FALSE(createFile(u"E:\\x.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError()) << "a drive the machine lacks";

    hostWrite(m.dir() + "/host.txt", "from host");
    EXPECT_EQ("from host", m.readFile(plxNarrow(onZ(m.dir() + "/host.txt"))));
}

TEST_F(MachinePaths, ModuleFileNameIsTheHostProgramOnZ) {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    exe[n] = 0;
    WCHAR path[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    EXPECT_EQ(plxNarrow(onZ(exe)), plxNarrow(path));
}

TEST_F(MachinePaths, InvalidNames) {
    EXPECT_FALSE(createFile(u"C:\\a<b.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
    EXPECT_FALSE(createFile(u"C:\\what?.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
}

// Run by InitialCurrentDirectoryIsTheHostOne in a fresh process: prints the current directory.
TEST(MachinePathsChild, PrintCurrentDirectory) {
    const char* machine = std::getenv("PLX_UNIT_PRINT_CWD");
    if (!machine) GTEST_SKIP() << "only as a child process";
    setenv("PLX_MACHINE", machine, 1);  // the test main has made a machine of its own
    WCHAR cwd[MAX_PATH * 4];
    GetCurrentDirectoryW(MAX_PATH * 4, cwd);
    std::fprintf(stderr, "cwd=[%s]\n", plxNarrow(cwd).c_str());
}

TEST_F(MachinePaths, InitialCurrentDirectoryIsTheHostOne) {
    // A new process: this one's current directory has been set by other cases.
    std::string machine = m.dir();
    auto cwdOfNewProcessIn = [&](const std::string& hostDir) {
        ChildResult child = runChild([&] {
            char exe[PATH_MAX];
            ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
            if (n <= 0 || chdir(hostDir.c_str()) != 0) return 10;
            exe[n] = 0;
            setenv("PLX_UNIT_PRINT_CWD", machine.c_str(), 1);
            execl(exe, exe, "--gtest_filter=MachinePathsChild.PrintCurrentDirectory", static_cast<char*>(nullptr));
            return 11;
        });
        size_t b = child.err.find("cwd=[");
        return b == std::string::npos ? child.err : child.err.substr(b + 5, child.err.find(']', b) - b - 5);
    };
    EXPECT_EQ("C:\\Users\\Public", cwdOfNewProcessIn(m.dir() + "/drive_c/Users/Public"));
    EXPECT_EQ(plxNarrow(onZ(m.dir())), cwdOfNewProcessIn(m.dir()));
}

TEST_F(MachinePaths, ShareModesHoldAcrossProcesses) {
    ASSERT_TRUE(createFile(u"C:\\shared.txt"));
    int ready[2], done[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(done));
    pid_t pid = fork();
    if (pid == 0) {
        HANDLE h = CreateFileW(u"C:\\shared.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        char c = h == INVALID_HANDLE_VALUE ? 'n' : 'y';
        if (write(ready[1], &c, 1) != 1) _exit(2);
        if (read(done[0], &c, 1) != 1) _exit(2);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    ASSERT_EQ('y', c);
    HANDLE h = CreateFileW(u"C:\\shared.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD error = GetLastError();
    EXPECT_EQ(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), error);
    EXPECT_FALSE(DeleteFileW(u"C:\\shared.txt"));
    EXPECT_EQ(1, write(done[1], "x", 1));
    int status = 0;
    waitpid(pid, &status, 0);
    h = CreateFileW(u"C:\\shared.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h) << "the other process's handle is gone";
    CloseHandle(h);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}
