// The number conversions of CPLXWCharString on any text: toNumber in every
// number system, getBufferFromAsciiCodeString and getAsciiCodeString.  The
// input is the text, one character per byte, or UTF-16LE after the byte
// order mark FF FE.  A number that parses comes back from its own formatted
// form; every string comes back from its ASCII code string, and every byte
// buffer read from one comes back from its own.
#include "plx_fuzz_machine.h"
#include "plx_wchar_string.h"

#include <cstring>
#include <vector>

namespace {

CPLXWCharString textOf(const uint8_t* data, size_t size) {
    std::vector<unsigned short> units;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        for (size_t i = 2; i + 1 < size; i += 2)
            units.push_back(static_cast<unsigned short>(data[i] | (data[i + 1] << 8)));
    } else {
        units.assign(data, data + size);
    }
    units.push_back(0);
    return CPLXWCharString(CPLXBuffer<unsigned short>(units.data(), static_cast<ULONG>(units.size())));
}

bool sameBytes(const CPLXBuffer<unsigned char>& a, const unsigned char* pBytes, ULONG ulCount) {
    return a.getNumElems() == ulCount && (ulCount == 0 || std::memcmp(a.getBuffer(), pBytes, ulCount) == 0);
}

void checkNumbers(const CPLXWCharString& text) {
    for (ULONG system :
         {CPLXWCharString::nsDec, CPLXWCharString::nsHex, CPLXWCharString::nsBin, CPLXWCharString::nsOct}) {
        const ULONG ulUntouched = 0xA5A5A5A5UL;
        ULONG ulValue = ulUntouched;
        if (!text.toNumber(ulValue, system)) {
            PLX_FUZZ_EXPECT(ulValue == ulUntouched);
            continue;
        }
        // With its marker, so that a hexadecimal text is not read as binary notation.
        ULONG ulAgain = ~ulValue;
        PLX_FUZZ_EXPECT(CPLXWCharString(ulValue, system, 0, true).toNumber(ulAgain, system));
        PLX_FUZZ_EXPECT(ulAgain == ulValue);
    }
}

void checkAsciiCodes(const CPLXWCharString& text) {
    if (text.isValid()) {
        // Every unit, terminator included, low byte first.
        std::vector<unsigned char> raw;
        for (ULONG i = 0; i < text.getNumElems(); ++i) {
            raw.push_back(static_cast<unsigned char>(text[i] & 0xFF));
            raw.push_back(static_cast<unsigned char>(text[i] >> 8));
        }
        CPLXWCharString codes = text.getAsciiCodeString();
        PLX_FUZZ_EXPECT(codes.getLength() == raw.size() * 3 - 1);
        PLX_FUZZ_EXPECT(sameBytes(codes.getBufferFromAsciiCodeString(), raw.data(), static_cast<ULONG>(raw.size())));
    } else {
        PLX_FUZZ_EXPECT(!text.getAsciiCodeString().isValid());
    }
    CPLXBuffer<unsigned char> bytes = text.getBufferFromAsciiCodeString();
    if (bytes.getNumElems() != 0) {
        CPLXWCharString codes = plxAsciiCodeString(bytes.getBuffer(), bytes.getNumElems());
        PLX_FUZZ_EXPECT(sameBytes(codes.getBufferFromAsciiCodeString(), bytes.getBuffer(), bytes.getNumElems()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plxFuzzMachineDir();  // the method traces read the logging settings from the registry
    const CPLXWCharString text = textOf(data, size);
    checkNumbers(text);
    checkAsciiCodes(text);
    return 0;
}
