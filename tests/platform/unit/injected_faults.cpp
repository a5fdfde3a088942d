// machine.ini's [Faults]: the n-th call of a function fails as it fails on
// Windows (its failure result, its error, no effect), and Count=1 lists the calls.
#include "plx_test_machine.h"
#include "sim_unit.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <sstream>

using namespace simunit;

namespace {

const char16_t* const kSource = u"C:\\ProgramData\\source.txt";

struct FaultCase {
    const char* function;
    const char* rule;  // occurrence:error
    // Makes the call that fails, checks its failure and that it had no effect;
    // then checks that the next call of the function succeeds.
    std::function<void(TestMachine&)> check;
};

DWORD lastErrorAfter(const std::function<void()>& call) {
    SetLastError(0);
    call();
    return GetLastError();
}

const FaultCase kCases[] = {
    {"CopyFileW", "2:112",
     [](TestMachine& m) {
         EXPECT_TRUE(CopyFileW(kSource, u"C:\\ProgramData\\first.txt", FALSE)) << "the first call runs as usual";
         BOOL copied = TRUE;
         EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL),
                   lastErrorAfter([&] { copied = CopyFileW(kSource, u"C:\\ProgramData\\second.txt", FALSE); }));
         EXPECT_FALSE(copied);
         EXPECT_FALSE(hostExists(m.dir() + "/drive_c/ProgramData/second.txt"));
         EXPECT_TRUE(CopyFileW(kSource, u"C:\\ProgramData\\second.txt", FALSE));
     }},
    {"CreateFileW", "1:32",
     [](TestMachine& m) {
         HANDLE file = nullptr;
         EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), lastErrorAfter([&] {
                       file = CreateFileW(u"C:\\ProgramData\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
                   }));
         EXPECT_EQ(INVALID_HANDLE_VALUE, file);
         EXPECT_FALSE(hostExists(m.dir() + "/drive_c/ProgramData/new.txt"));
         file = CreateFileW(u"C:\\ProgramData\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
         EXPECT_NE(INVALID_HANDLE_VALUE, file);
         CloseHandle(file);
     }},
    {"RegOpenKeyExW", "1:5",
     [](TestMachine&) {
         // Reg* functions answer with the error and leave the last error alone.
         HKEY key = reinterpret_cast<HKEY>(1);
         SetLastError(1234);
         EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_READ, &key));
         EXPECT_EQ(nullptr, key);
         EXPECT_EQ(1234u, GetLastError());
         ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_READ, &key));
         RegCloseKey(key);
     }},
    {"RegSetValueExW", "1:1018",
     [](TestMachine&) {
         HKEY key = nullptr;
         ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Faults", 0, nullptr, 0,
                                                  KEY_ALL_ACCESS, nullptr, &key, nullptr));
         const DWORD value = 7;
         const BYTE* data = reinterpret_cast<const BYTE*>(&value);
         EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(key, u"v", 0, REG_DWORD, data, sizeof value));
         EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, nullptr));
         EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"v", 0, REG_DWORD, data, sizeof value));
         RegCloseKey(key);
     }},
    {"SHGetFolderPathW", "1:5",
     [](TestMachine&) {
         // An HRESULT function answers HRESULT_FROM_WIN32 of the error, with an empty path.
         WCHAR path[MAX_PATH] = u"stale";
         EXPECT_EQ(static_cast<HRESULT>(0x80070005), SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path));
         EXPECT_EQ(std::u16string(), std::u16string(path));
         EXPECT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path));
     }},
    {"LoadStringW", "1:1814",
     [](TestMachine&) {
         WCHAR text[32] = u"stale";
         int length = -1;
         EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND),
                   lastErrorAfter([&] { length = LoadStringW(GetModuleHandleW(nullptr), 100, text, 32); }));
         EXPECT_EQ(0, length);
         EXPECT_EQ(std::u16string(), std::u16string(text));
         EXPECT_EQ(5, LoadStringW(GetModuleHandleW(nullptr), 100, text, 32));
     }},
    {"MessageBoxW", "1:8",
     [](TestMachine& m) {
         // A box that fails is not shown and takes no answer.
         EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY),
                   lastErrorAfter([] { EXPECT_EQ(0, MessageBoxW(nullptr, u"first", u"c", MB_OK)); }));
         EXPECT_EQ("", m.screenLog());
         EXPECT_EQ(IDOK, MessageBoxW(nullptr, u"second", u"c", MB_OK));
     }},
};

class InjectedFault : public ::testing::TestWithParam<FaultCase> {};

}  // namespace

TEST_P(InjectedFault, FailsAsWindowsDoesWithoutEffect) {
    TestMachine m;
    m.ini("Faults", GetParam().function, GetParam().rule).ini("Display", "Answers", "ok").create();
    hostWrite(m.dir() + "/drive_c/ProgramData/source.txt", "data");
    GetParam().check(m);
}

INSTANTIATE_TEST_SUITE_P(Functions, InjectedFault, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.function; });

TEST(InjectedFaults, SeveralOccurrencesAndEveryCall) {
    TestMachine m;
    m.ini("Faults", "getfileattributesw", "1:5, 3:2").ini("Faults", "DeleteFileW", "*:32").create();
    std::vector<DWORD> errors;
    for (int i = 0; i < 4; ++i)
        errors.push_back(GetFileAttributesW(u"C:\\Windows") == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0);
    EXPECT_EQ((std::vector<DWORD>{ERROR_ACCESS_DENIED, 0, ERROR_FILE_NOT_FOUND, 0}), errors);
    hostWrite(m.dir() + "/drive_c/ProgramData/keep.txt", "x");
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(DeleteFileW(u"C:\\ProgramData\\keep.txt"));
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    }
    EXPECT_TRUE(hostExists(m.dir() + "/drive_c/ProgramData/keep.txt"));
}

TEST(InjectedFaults, CountListsTheProgramsCallsOnce) {
    TestMachine m;
    m.ini("Faults", "Count", "1").ini("Faults", "RegDeleteKeyW", "1:2").create();
    GetFileAttributesW(u"C:\\Windows");
    // RegDeleteKeyW is one call, although the machine carries it out through RegDeleteKeyExW.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Nothing"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Nothing"));
    const std::string pid = std::to_string(GetCurrentProcessId());
    EXPECT_EQ(pid + "\tGetFileAttributesW\t1\t0\tC:\\Windows\n" + pid + "\tRegDeleteKeyW\t1\t2\tSOFTWARE\\Nothing\n" +
                  pid + "\tRegDeleteKeyW\t2\t0\tSOFTWARE\\Nothing\n",
              hostRead(m.dir() + "/calls.log"));
}

TEST(InjectedFaults, CallsAreCountedPerMachine) {
    TestMachine first;
    first.ini("Faults", "GetFileAttributesW", "2:5").create();
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\Windows"));
    {
        TestMachine second;
        second.create();
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\Windows"));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\Windows"));
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\Windows")) << "the second call on the first machine";
}

TEST(InjectedFaults, BadEntryStopsWithAMessage) {
    const std::pair<const char*, const char*> kBad[] = {
        {"CopyFileX", "1:5"}, {"lstrlenW", "1:5"}, {"CopyFileW", "0:5"},    {"CopyFileW", "2"},
        {"CopyFileW", "2:0"}, {"Count", "2"},      {"CopyFileW", "*:kill"}, {"DeleteFileW", "1:cut"}};
    for (const auto& bad : kBad) {
        TestMachine m;
        m.ini("Faults", bad.first, bad.second).create();
        ChildResult child = runChild([] {
            GetFileAttributesW(u"C:\\Windows");
            return 0;
        });
        EXPECT_EQ(3, child.exitCode) << bad.first << "=" << bad.second;
        EXPECT_NE(std::string::npos, child.err.find(std::string(bad.first) + "=" + bad.second)) << child.err;
    }
}

TEST(InjectedFaults, KillEndsTheProcessBeforeTheCallHasAnyEffect) {
    TestMachine m;
    m.ini("Faults", "DeleteFileW", "2:kill").create();
    static std::string s_dir;
    s_dir = m.dir() + "/drive_c/ProgramData/";
    hostWrite(s_dir + "first.txt", "x");
    hostWrite(s_dir + "second.txt", "x");
    ChildResult child = runChild([]() -> int {
        std::atexit([] { hostWrite(s_dir + "atexit.txt", "ran"); });
        DeleteFileW(u"C:\\ProgramData\\first.txt");
        DeleteFileW(u"C:\\ProgramData\\second.txt");
        std::exit(0);  // runs the handler unless the process was killed
    });
    EXPECT_EQ(SIGKILL, child.signal);
    EXPECT_FALSE(hostExists(s_dir + "first.txt")) << "the first call ran";
    EXPECT_TRUE(hostExists(s_dir + "second.txt"));
    EXPECT_FALSE(hostExists(s_dir + "atexit.txt")) << "nothing runs after the kill";
}

TEST(InjectedFaults, CutCopyLeavesTheFirstHalfUnderTheDestinationsName) {
    for (const auto& row : {std::make_pair("0123456789", "01234"), std::make_pair("x", ""), std::make_pair("", "")}) {
        TestMachine m;
        m.ini("Faults", "CopyFileW", "1:cut").create();
        hostWrite(m.dir() + "/drive_c/ProgramData/source.txt", row.first);
        EXPECT_EQ(SIGKILL, runChild([] { return CopyFileW(kSource, u"C:\\ProgramData\\copy.txt", FALSE); }).signal);
        EXPECT_TRUE(hostExists(m.dir() + "/drive_c/ProgramData/copy.txt")) << row.first;
        EXPECT_EQ(row.second, hostRead(m.dir() + "/drive_c/ProgramData/copy.txt"));
    }
}
