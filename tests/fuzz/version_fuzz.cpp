// The version resource reader (GetFileVersionInfoSizeW, GetFileVersionInfoW
// and VerQueryValueW) on any file: the input is a library on the machine,
// queried as the installer and a careful caller do.  Nothing may be read
// outside the file or the caller's buffer, and every value VerQueryValueW
// hands back lies inside that buffer.
#include "plx_fuzz_machine.h"
#include "plx_win32.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

volatile unsigned g_sink;  // keeps the reads of the values

// Reads the bytes a value consists of; false when the query fails.
bool query(const std::vector<BYTE>& buffer, const std::u16string& subBlock, size_t unitBytes, UINT& length,
           const BYTE*& value) {
    LPVOID pValue = nullptr;
    length = 0;
    if (!VerQueryValueW(buffer.data(), subBlock.c_str(), &pValue, &length)) return false;
    value = static_cast<const BYTE*>(pValue);
    PLX_FUZZ_EXPECT(value >= buffer.data() && value <= buffer.data() + buffer.size());
    unsigned sum = 0;
    for (size_t i = 0; i < length * unitBytes; ++i) sum += value[i];
    g_sink = sum;
    return true;
}

// The fixed file information and, for the first translations, the texts the
// installer's callers look at.  In the buffer of the size that
// GetFileVersionInfoSizeW asks for, texts are read as the characters their
// length counts; in a shorter one only as bytes.
void queryAll(const std::vector<BYTE>& buffer, bool wholeBuffer) {
    UINT length;
    const BYTE* value;
    if (query(buffer, u"\\", 1, length, value) && length >= sizeof(VS_FIXEDFILEINFO))
        g_sink = reinterpret_cast<const VS_FIXEDFILEINFO*>(value)->dwFileVersionMS;
    if (!query(buffer, u"\\VarFileInfo\\Translation", 1, length, value)) return;
    for (UINT i = 0; i < length / 4 && i < 4; ++i) {
        char language[9];
        std::snprintf(language, sizeof language, "%02x%02x%02x%02x", value[4 * i + 1], value[4 * i], value[4 * i + 3],
                      value[4 * i + 2]);
        for (const char16_t* name : {u"FileVersion", u"ProductVersion", u"OriginalFilename"}) {
            std::u16string subBlock = u"\\StringFileInfo\\" + std::u16string(language, language + 8) + u"\\" + name;
            UINT textLength;
            const BYTE* text;
            query(buffer, subBlock, wholeBuffer ? 2 : 1, textLength, text);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string path = plxFuzzInputFile("library.dll", data, size);
    DWORD handle = 1;
    DWORD needed = GetFileVersionInfoSizeW(path.c_str(), &handle);
    PLX_FUZZ_EXPECT(handle == 0);
    if (needed == 0) return 0;
    std::vector<BYTE> whole(needed);
    PLX_FUZZ_EXPECT(GetFileVersionInfoW(path.c_str(), 0, needed, whole.data()));
    queryAll(whole, true);
    // A buffer shorter than the block gets the block cut to its size.
    DWORD blockSize = (needed - 4) / 2;
    std::vector<BYTE> cut(blockSize / 2 + 2);
    PLX_FUZZ_EXPECT(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(cut.size()), cut.data()));
    queryAll(cut, false);
    return 0;
}
