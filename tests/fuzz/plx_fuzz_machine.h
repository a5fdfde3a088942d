// What the fuzz targets share: the simulated machine they run on (one fresh,
// empty machine per process, made at the first call and removed when the
// process exits), inputs written as files on it, and the check that stops
// the process on a broken expectation so that libFuzzer keeps the input.
#ifndef PLX_FUZZ_MACHINE_H
#define PLX_FUZZ_MACHINE_H

#include <cstddef>
#include <cstdint>
#include <string>

// The machine's host directory; PLX_MACHINE names it from the first call on.
const std::string& plxFuzzMachineDir();
// Writes the input to C:\fuzz\<szName> on the machine; returns that path.
std::u16string plxFuzzInputFile(const char* szName, const uint8_t* pData, size_t size);
// Drops the machine's registry: the next call finds only the keys that
// every machine has.
void plxFuzzResetRegistry();
// The bytes of a file of the machine directory ("" when it is missing).
std::string plxFuzzReadMachineFile(const char* szName);

[[noreturn]] void plxFuzzFail(const char* szWhat, const char* szFile, int line);
#define PLX_FUZZ_EXPECT(condition) ((condition) ? (void)0 : plxFuzzFail(#condition, __FILE__, __LINE__))

#endif
