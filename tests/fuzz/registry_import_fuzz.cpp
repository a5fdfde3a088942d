// The registry text import (CPLXRegistryKey::importKey(file,
// PLX_REG_IMPORT_TEXT), read by CPLXRegistryFile through the profile
// functions) on any file: the input is the import file on a machine whose
// registry starts empty each time.  Importing the same file a second time
// changes nothing.
#include "plx_fuzz_machine.h"
#include "plx_registry_key.h"
#include "plx_win32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plxFuzzResetRegistry();
    const CPLXWCharString file(plxFuzzInputFile("import.txt", data, size).c_str());
    CPLXRegistryKey key(HKEY_LOCAL_MACHINE, CPLXWCharString(TEXT("SOFTWARE")), KEY_READ | KEY_WRITE);
    PLX_FUZZ_EXPECT(key.importKey(file, PLX_REG_IMPORT_TEXT));
    const std::string once = plxFuzzReadMachineFile("registry.reg");
    PLX_FUZZ_EXPECT(key.importKey(file, PLX_REG_IMPORT_TEXT));
    PLX_FUZZ_EXPECT(plxFuzzReadMachineFile("registry.reg") == once);
    return 0;
}
