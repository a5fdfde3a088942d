// The simulated machine's registry file reader (registry.reg and
// registry.volatile.reg are read with decodeRegBytes and parseRegText):
// any bytes are read without harm, and the tree the reader made of them is
// written and read back unchanged, as the machine does on every change.
#include "plx_fuzz_machine.h"
#include "src/reg_file.h"

#include <string>

using namespace plxsim;

namespace {

// The file as the machine loads it (the roots of a machine only) and writes it again.
std::string loadAndSave(const std::string& bytes, bool volatilePart, RegParseResult& result) {
    RegTree tree;
    tree.allowRoots(RegTree::machineRoots());
    result = parseRegText(decodeRegBytes(bytes), tree, volatilePart);
    return formatRegFile(tree, volatilePart);
}

void checkRoundTrip(const std::string& bytes, bool volatilePart) {
    RegParseResult result;
    std::string saved = loadAndSave(bytes, volatilePart, result);
    RegParseResult reread;
    PLX_FUZZ_EXPECT(loadAndSave(saved, volatilePart, reread) == saved);
    PLX_FUZZ_EXPECT(reread.hasHeader && reread.badLines == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    checkRoundTrip(bytes, false);
    checkRoundTrip(bytes, true);
    return 0;
}
