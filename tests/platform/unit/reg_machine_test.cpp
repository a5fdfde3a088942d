// The simulated registry on whole machines: loading hand-made and exported
// files, the files it writes, volatile keys, standard users and x86 machines.
#include "plx_test_machine.h"
#include "plx_win32.h"
#include "src/reg_file.h"
#include "src/internal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string readHost(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool hostExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

DWORD readDword(HKEY root, const WCHAR* path, const WCHAR* name, REGSAM view, LSTATUS* status = nullptr) {
    HKEY key = nullptr;
    DWORD number = 0, size = sizeof number;
    LSTATUS rc = RegOpenKeyExW(root, path, 0, KEY_READ | view, &key);
    if (rc == ERROR_SUCCESS) {
        rc = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
        RegCloseKey(key);
    }
    if (status) *status = rc;
    return number;
}

LSTATUS writeDword(HKEY root, const WCHAR* path, const WCHAR* name, DWORD number, REGSAM view = 0, DWORD options = 0) {
    HKEY key = nullptr;
    LSTATUS rc = RegCreateKeyExW(root, path, 0, nullptr, options, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    return rc;
}

TEST(RegMachine, ExportedFileWithWow6432NodeLoadsAsItStands) {
    TestMachine machine;
    machine.create();
    // A regedit export as a UTF-8 file without BOM, keys out of order, parents implicit.
    std::ofstream(machine.dir() + "/registry.reg", std::ios::binary)
        << "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Orvane\\Logs]\r\n\"Logging\"=dword:00000001\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Logs]\r\n\"Logging\"=dword:00000002\r\n\r\n";
    EXPECT_EQ(1u, readDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane\\Logs"), TEXT("Logging"), 0));
    EXPECT_EQ(1u, readDword(HKEY_LOCAL_MACHINE, TEXT("Software\\Orvane\\Logs"), TEXT("Logging"), KEY_WOW64_32KEY));
    EXPECT_EQ(2u, readDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane\\Logs"), TEXT("Logging"), KEY_WOW64_64KEY));

    // A change rewrites the file in regedit's own encoding and layout.
    ASSERT_EQ(ERROR_SUCCESS, writeDword(HKEY_CURRENT_USER, TEXT("Software\\New"), TEXT("n"), 5));
    ASSERT_EQ(ERROR_SUCCESS, RegFlushKey(HKEY_CURRENT_USER));
    std::string bytes = readHost(machine.dir() + "/registry.reg");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));
    std::u16string text = plxsim::decodeRegBytes(bytes);
    EXPECT_EQ(0u, text.find(u"Windows Registry Editor Version 5.00\r\n\r\n"));
    EXPECT_NE(
        std::u16string::npos,
        text.find(u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Orvane\\Logs]\r\n\"Logging\"=dword:00000001\r\n\r\n"));
    EXPECT_NE(std::u16string::npos, text.find(u"[HKEY_CURRENT_USER\\Software\\New]\r\n\"n\"=dword:00000005\r\n"));
}

TEST(RegMachine, ChangesByHandAreSeenOnTheNextCall) {
    TestMachine machine;
    machine.reg("[HKEY_CURRENT_USER\\Software\\K]\n\"v\"=dword:00000001\n").create();
    EXPECT_EQ(1u, readDword(HKEY_CURRENT_USER, TEXT("Software\\K"), TEXT("v"), 0));
    std::ofstream(machine.dir() + "/registry.reg", std::ios::binary)
        << "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\K]\n\"v\"=dword:00000002\n";
    EXPECT_EQ(2u, readDword(HKEY_CURRENT_USER, TEXT("Software\\K"), TEXT("v"), 0));
}

TEST(RegMachine, VolatileKeysStayOutOfRegistryRegAndEndWithARestart) {
    TestMachine machine;
    machine.create();
    ASSERT_EQ(ERROR_SUCCESS, writeDword(HKEY_CURRENT_USER, TEXT("Software\\Keep"), TEXT("k"), 1));
    ASSERT_EQ(ERROR_SUCCESS,
              writeDword(HKEY_CURRENT_USER, TEXT("Software\\Keep\\Session"), TEXT("s"), 2, 0, REG_OPTION_VOLATILE));
    ASSERT_EQ(ERROR_SUCCESS, RegFlushKey(HKEY_CURRENT_USER));
    std::u16string persistent = plxsim::decodeRegBytes(readHost(machine.dir() + "/registry.reg"));
    EXPECT_NE(std::u16string::npos, persistent.find(u"[HKEY_CURRENT_USER\\Software\\Keep]"));
    EXPECT_EQ(std::u16string::npos, persistent.find(u"Session"));
    ASSERT_TRUE(hostExists(machine.dir() + "/registry.volatile.reg"));
    EXPECT_EQ(2u, readDword(HKEY_CURRENT_USER, TEXT("Software\\Keep\\Session"), TEXT("s"), 0));

    plxsim::registryRestart();
    LSTATUS status = ERROR_SUCCESS;
    readDword(HKEY_CURRENT_USER, TEXT("Software\\Keep\\Session"), TEXT("s"), 0, &status);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, status);
    EXPECT_EQ(1u, readDword(HKEY_CURRENT_USER, TEXT("Software\\Keep"), TEXT("k"), 0));
    EXPECT_FALSE(hostExists(machine.dir() + "/registry.volatile.reg"));
}

TEST(RegMachine, StandardUserReadsButCannotChangeLocalMachine) {
    TestMachine machine;
    machine.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane]\n\"v\"=dword:00000007\n")
        .ini("User", "Administrator", "0")
        .create();
    EXPECT_EQ(7u, readDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), TEXT("v"), 0));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), 0, KEY_WRITE, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, writeDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane\\New"), TEXT("n"), 1));
    EXPECT_EQ(ERROR_ACCESS_DENIED, writeDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), TEXT("v"), 1));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExW(HKEY_LOCAL_MACHINE, TEXT("x"), 0, REG_BINARY, nullptr, 0));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteTreeW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane")));
    // A missing key is still reported as missing.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Nope"), 0, KEY_WRITE, &key));
    // Opening an existing key for reading through RegCreateKeyExW works.
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), 0, nullptr, 0, KEY_READ,
                                             nullptr, &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(key);
    EXPECT_EQ(7u, readDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), TEXT("v"), 0));
    // The user's own hive stays writable.
    EXPECT_EQ(ERROR_SUCCESS, writeDword(HKEY_CURRENT_USER, TEXT("Software\\Orvane"), TEXT("v"), 1));
}

TEST(RegMachine, X86MachineHasOneView) {
    TestMachine machine;
    machine.ini("Windows", "Architecture", "x86").create();
    ASSERT_EQ(ERROR_SUCCESS, writeDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), TEXT("v"), 3, KEY_WOW64_32KEY));
    EXPECT_EQ(3u, readDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), TEXT("v"), KEY_WOW64_64KEY));
    EXPECT_EQ(3u, readDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), TEXT("v"), 0));
    LSTATUS status = ERROR_SUCCESS;
    readDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\WOW6432Node\\Orvane"), TEXT("v"), 0, &status);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, status);
    EXPECT_EQ(std::string::npos, machine.registryText().find("WOW6432Node"));
}

TEST(RegMachine, X64MachineRedirectsOnlyLocalMachineSoftware) {
    TestMachine machine;
    machine.create();
    ASSERT_EQ(ERROR_SUCCESS, writeDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Orvane"), TEXT("v"), 32));
    ASSERT_EQ(ERROR_SUCCESS, writeDword(HKEY_LOCAL_MACHINE, TEXT("SYSTEM\\Orvane"), TEXT("v"), 1));
    EXPECT_EQ(32u, readDword(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\WOW6432Node\\Orvane"), TEXT("v"), KEY_WOW64_64KEY));
    EXPECT_EQ(1u, readDword(HKEY_LOCAL_MACHINE, TEXT("SYSTEM\\Orvane"), TEXT("v"), KEY_WOW64_64KEY));
    // The 64-bit view of SOFTWARE lists WOW6432Node; the 32-bit view is WOW6432Node.
    HKEY software = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE"), 0, KEY_READ | KEY_WOW64_32KEY, &software));
    WCHAR name[64];
    DWORD count = 64;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(software, 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(std::u16string(u"Orvane"), std::u16string(name));
    RegCloseKey(software);
}

}  // namespace

namespace {

// A change is in the machine's files when its call returns: another process
// reads it from the journal; registry.reg holds it once the writer has exited.
TEST(RegMachine, ChangesReachRegistryRegWhenTheWriterExits) {
    TestMachine machine;
    machine.create();
    int ready[2], done[2];
    ASSERT_EQ(0, ::pipe(ready));
    ASSERT_EQ(0, ::pipe(done));
    std::fflush(nullptr);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char go = 0;
        bool ok = writeDword(HKEY_CURRENT_USER, TEXT("Software\\Journal"), TEXT("v"), 7) == ERROR_SUCCESS &&
                  ::write(ready[1], "r", 1) == 1 && ::read(done[0], &go, 1) == 1;
        std::exit(ok ? 0 : 1);  // a normal exit, which folds the journal
    }
    char signal = 0;
    ASSERT_EQ(1, ::read(ready[0], &signal, 1));
    EXPECT_TRUE(hostExists(machine.dir() + "/registry.journal"));
    EXPECT_EQ(7u, readDword(HKEY_CURRENT_USER, TEXT("Software\\Journal"), TEXT("v"), 0));
    ASSERT_EQ(1, ::write(done[1], "d", 1));
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) ::close(fd);
    EXPECT_FALSE(hostExists(machine.dir() + "/registry.journal"));
    EXPECT_NE(std::u16string::npos, plxsim::decodeRegBytes(readHost(machine.dir() + "/registry.reg"))
                                        .find(u"[HKEY_CURRENT_USER\\Software\\Journal]\r\n\"v\"=dword:00000007"));
}

// Lines that do not load are named on standard error; when registry.reg is
// rewritten without them, the file as it was stays beside it.
TEST(RegMachine, LinesNotLoadedAreNamedAndTheirFileKept) {
    TestMachine machine;
    machine.create();
    const std::string original =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\K]\r\n"
        "\"good\"=dword:00000001\r\n\"bad\"=dword:123456789\r\n";
    std::ofstream(machine.dir() + "/registry.reg", std::ios::binary) << original;
    testing::internal::CaptureStderr();
    EXPECT_EQ(1u, readDword(HKEY_CURRENT_USER, TEXT("Software\\K"), TEXT("good"), 0));
    ASSERT_EQ(ERROR_SUCCESS, writeDword(HKEY_CURRENT_USER, TEXT("Software\\K"), TEXT("new"), 2));
    ASSERT_EQ(ERROR_SUCCESS, RegFlushKey(HKEY_CURRENT_USER));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, said.find("registry.reg:5: not loaded: a dword")) << said;
    EXPECT_NE(std::string::npos, said.find("registry.reg.orig")) << said;
    EXPECT_EQ(original, readHost(machine.dir() + "/registry.reg.orig"));
    EXPECT_EQ(std::u16string::npos, plxsim::decodeRegBytes(readHost(machine.dir() + "/registry.reg")).find(u"bad"));
}

}  // namespace
