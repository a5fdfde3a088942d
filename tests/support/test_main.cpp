// The main of every test executable.  On the simulated machine the tests run
// on a fresh, empty machine (C: with its standard folders; x64 unless
// PLX_TEST_ARCHITECTURE=x86) that is removed at the end unless
// PLX_KEEP_MACHINE is set; on Windows they run on the system.
#include "plx_test_machine.h"
#include "plx_test_text.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if constexpr (!PLX_SIMULATED_MACHINE) {
        return RUN_ALL_TESTS();
    } else {
        std::string dir = plxCreateMachineDir();
        SetEnvironmentVariableW(TEXT("PLX_MACHINE"), plxW(dir).c_str());
        int result = RUN_ALL_TESTS();
        if (GetEnvironmentVariableW(TEXT("PLX_KEEP_MACHINE"), nullptr, 0) == 0)
            plxRemoveMachineDir(dir);
        else
            std::fprintf(stderr, "machine kept: %s\n", dir.c_str());
        return result;
    }
}
