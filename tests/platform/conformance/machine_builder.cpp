// TestMachine builds the same machine on the simulated machine and on Windows:
// registry views named by the .reg text, files, and cleanup.
#include "file_conformance.h"
#include "plx_test_machine.h"

using namespace conf;

namespace {

// The REG_SZ value of HKLM\SOFTWARE\<path> in a view, or "<missing>".
std::string machineString(const WCHAR* path, const WCHAR* name, REGSAM view) {
    CPLXScopedRegKey key;
    Text full = plxW("SOFTWARE\\") + path;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, full.c_str(), 0, KEY_READ | view, key.out()) != ERROR_SUCCESS)
        return "<missing>";
    WCHAR data[256] = {};
    DWORD size = sizeof data - sizeof(WCHAR), type = 0;
    LSTATUS status = RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    return status == ERROR_SUCCESS && type == REG_SZ ? plxNarrow(data) : "<missing>";
}

}  // namespace

TEST(MachineBuilder, RegistryViewsFilesAndCleanup) {
    {
        TestMachine m;
        m.reg(
             "Windows Registry Editor Version 5.00\n\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PLXBuilderTest]\n"
             "\"Where\"=\"64-bit view\"\n"
             "\"Count\"=dword:0000002a\n\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\PLXBuilderTest]\n"
             "\"Where\"=\"32-bit \\\"view\\\"\"\n")
            .file("C:\\plxconformance\\builder\\deep\\file.bin", std::string("a\0b", 3))
            .create();
        // With one view, as on 32-bit Windows, WOW6432Node is just a key.
        bool oneView = plxProcessKind() == PlxProcessKind::X86OnX86;
        EXPECT_EQ("64-bit view", machineString(TEXT("PLXBuilderTest"), TEXT("Where"), KEY_WOW64_64KEY));
        EXPECT_EQ("32-bit \"view\"",
                  machineString(oneView ? TEXT("WOW6432Node\\PLXBuilderTest") : TEXT("PLXBuilderTest"), TEXT("Where"),
                                KEY_WOW64_32KEY));
        EXPECT_EQ(std::string("a\0b", 3), m.readFile("C:\\plxconformance\\builder\\deep\\file.bin"));
        EXPECT_EQ(std::string("a\0b", 3), readFile(plxW("C:\\plxconformance\\builder\\deep\\file.bin")));
        if (TestMachine::canSetMachineIni()) {
            EXPECT_NE(std::string::npos, m.registryText().find("PLXBuilderTest")) << m.registryText();
        }
    }
    EXPECT_EQ("<missing>", machineString(TEXT("PLXBuilderTest"), TEXT("Where"), KEY_WOW64_64KEY));
    EXPECT_EQ("<missing>", machineString(TEXT("PLXBuilderTest"), TEXT("Where"), KEY_WOW64_32KEY));
    EXPECT_EQ("<missing>", readFile(plxW("C:\\plxconformance\\builder\\deep\\file.bin")));
    removeTree(plxW("C:\\plxconformance\\builder"));
}

TEST(MachineBuilder, KeysNamedAreReplacedNotMerged) {
    TestMachine first;
    first.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\PLXBuilderMerge]\n\"Old\"=\"1\"\n").create();
    TestMachine second;
    second.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\PLXBuilderMerge]\n\"New\"=\"2\"\n").create();
    EXPECT_EQ("2", machineString(TEXT("PLXBuilderMerge"), TEXT("New"), KEY_WOW64_64KEY));
    EXPECT_EQ("<missing>", machineString(TEXT("PLXBuilderMerge"), TEXT("Old"), KEY_WOW64_64KEY));
}
