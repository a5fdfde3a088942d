// The registry files under a killed writer and under several writing processes.
#include "plx_test_machine.h"
#include "plx_test_text.h"
#include "plx_win32.h"
#include "src/reg_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const WCHAR* w(const std::u16string& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }

LSTATUS writeDword(const std::u16string& path, const std::u16string& name, DWORD number) {
    HKEY key = nullptr;
    LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, w(path), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(key, w(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    return rc;
}

LSTATUS readDword(const std::u16string& path, const std::u16string& name, DWORD& number) {
    HKEY key = nullptr;
    LSTATUS rc = RegOpenKeyExW(HKEY_CURRENT_USER, w(path), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return rc;
    DWORD size = sizeof number;
    rc = RegQueryValueExW(key, w(name), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
    RegCloseKey(key);
    return rc;
}

void expectCleanFile(const std::string& dir) {
    std::ifstream in(dir + "/registry.reg", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    plxsim::RegTree tree;
    tree.allowRoots(plxsim::RegTree::machineRoots());
    plxsim::RegParseResult parsed = plxsim::parseRegText(plxsim::decodeRegBytes(bytes.str()), tree, false);
    EXPECT_TRUE(parsed.hasHeader);
    EXPECT_EQ(0u, parsed.badLines);
}

TEST(RegDurability, KilledWriterLeavesALoadableFileWithAPrefixOfItsWrites) {
    TestMachine machine;
    machine.create();
    const std::u16string path = u"Software\\Killed";
    ASSERT_EQ(ERROR_SUCCESS, writeDword(path, u"start", 0));
    int ready[2];
    ASSERT_EQ(0, ::pipe(ready));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        for (DWORD i = 0; i < 100000; ++i) {
            if (writeDword(path, plxW("v" + std::to_string(i)), i) != ERROR_SUCCESS) ::_exit(1);
            if (i == 2 && ::write(ready[1], "r", 1) != 1) ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char signal = 0;
    ASSERT_EQ(1, ::read(ready[0], &signal, 1));
    ::close(ready[0]);
    std::mt19937 random(std::random_device{}());
    ::usleep(random() % 150000);
    ASSERT_EQ(0, ::kill(child, SIGKILL));
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFSIGNALED(status));

    expectCleanFile(machine.dir());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, w(path), 0, KEY_READ, &key));
    DWORD values = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                              nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
    ASSERT_GE(values, 4u);  // "start" and at least v0..v2
    for (DWORD i = 0; i + 1 < values; ++i) {
        DWORD number = 0xFFFFFFFF;
        ASSERT_EQ(ERROR_SUCCESS, readDword(path, plxW("v" + std::to_string(i)), number)) << i << " of " << values;
        EXPECT_EQ(i, number);
    }
    // And writing goes on after the crash.
    EXPECT_EQ(ERROR_SUCCESS, writeDword(path, u"after", 1));
    expectCleanFile(machine.dir());
}

TEST(RegDurability, ConcurrentWritersLoseNothing) {
    TestMachine machine;
    machine.create();
    const int kChildren = 4;
    const DWORD kWrites = 15;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (DWORD i = 0; i < kWrites; ++i) {
                std::string tag = std::to_string(c) + "_" + std::to_string(i);
                if (writeDword(u"Software\\Shared", plxW("v" + tag), i) != ERROR_SUCCESS) ::_exit(1);
                if (writeDword(plxW("Software\\Own" + std::to_string(c) + "\\k" + std::to_string(i)), u"x", i) !=
                    ERROR_SUCCESS)
                    ::_exit(2);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(child, ::waitpid(child, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }
    expectCleanFile(machine.dir());
    for (int c = 0; c < kChildren; ++c) {
        for (DWORD i = 0; i < kWrites; ++i) {
            std::string tag = std::to_string(c) + "_" + std::to_string(i);
            DWORD number = 0xFFFFFFFF;
            EXPECT_EQ(ERROR_SUCCESS, readDword(u"Software\\Shared", plxW("v" + tag), number)) << tag;
            EXPECT_EQ(i, number);
            number = 0xFFFFFFFF;
            EXPECT_EQ(ERROR_SUCCESS,
                      readDword(plxW("Software\\Own" + std::to_string(c) + "\\k" + std::to_string(i)), u"x", number))
                << tag;
            EXPECT_EQ(i, number);
        }
    }
}

}  // namespace
