#include "plx_fuzz_machine.h"

#include "plx_test_machine.h"
#include "plx_test_text.h"
#include "plx_win32.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string g_dir;

void removeMachine() { plxRemoveMachineDir(g_dir); }

}  // namespace

const std::string& plxFuzzMachineDir() {
    if (g_dir.empty()) {
        g_dir = plxCreateMachineDir();
        std::filesystem::create_directories(g_dir + "/drive_c/fuzz");
        SetEnvironmentVariableW(TEXT("PLX_MACHINE"), plxW(g_dir).c_str());
        std::atexit(removeMachine);
    }
    return g_dir;
}

std::u16string plxFuzzInputFile(const char* szName, const uint8_t* pData, size_t size) {
    std::ofstream out(plxFuzzMachineDir() + "/drive_c/fuzz/" + szName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(pData), static_cast<std::streamsize>(size));
    out.close();
    if (!out) plxFuzzFail("the input file can be written", __FILE__, __LINE__);
    return u"C:\\fuzz\\" + plxW(szName);
}

void plxFuzzResetRegistry() {
    const std::string& dir = plxFuzzMachineDir();
    std::remove((dir + "/registry.reg").c_str());
    std::remove((dir + "/registry.volatile.reg").c_str());
}

std::string plxFuzzReadMachineFile(const char* szName) {
    std::ifstream in(plxFuzzMachineDir() + "/" + szName, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void plxFuzzFail(const char* szWhat, const char* szFile, int line) {
    std::fprintf(stderr, "%s:%d: expected %s\n", szFile, line, szWhat);
    std::fflush(stderr);
    if (!g_dir.empty()) removeMachine();  // abort() skips the exit handlers
    std::abort();
}
