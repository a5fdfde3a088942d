// The profile file reader of the simulated machine (GetPrivateProfile*) on
// any file: the input is an .ini file on the machine, read as a caller walks
// it (section names, each section's lines and key names, each key's text and
// number), with buffers of exactly the size given (so that a write past them
// is caught) and ones too short for the answer.  A key written into a
// section of the file then reads back.
#include "plx_fuzz_machine.h"
#include "plx_win32.h"

#include <string>
#include <vector>

namespace {

const DWORD kLarge = 32767;
const DWORD kShortSizes[] = {1, 2, 3, 8};
const size_t kMostWalked = 8;  // sections, and keys per section

std::vector<std::u16string> listOf(const std::vector<WCHAR>& buffer, DWORD count) {
    std::vector<std::u16string> list;
    for (DWORD at = 0; at < count;) {
        std::u16string text(buffer.data() + at);
        list.push_back(text);
        at += static_cast<DWORD>(text.size()) + 1;
    }
    return list;
}

// A list answer: within the buffer, ended by a null.
void expectList(const std::vector<WCHAR>& buffer, DWORD count) {
    PLX_FUZZ_EXPECT(buffer.size() < 2 ? count == 0 : count <= buffer.size() - 2);
    PLX_FUZZ_EXPECT(buffer.size() == 0 || buffer[count] == 0);
}

// A single string: within the buffer, ended by a null.
void expectString(const std::vector<WCHAR>& buffer, DWORD count) {
    PLX_FUZZ_EXPECT(buffer.empty() ? count == 0 : count < buffer.size() && buffer[count] == 0);
}

std::vector<std::u16string> sectionNames(const WCHAR* file) {
    for (DWORD size : kShortSizes) {
        std::vector<WCHAR> buffer(size);
        expectList(buffer, GetPrivateProfileSectionNamesW(buffer.data(), size, file));
    }
    std::vector<WCHAR> buffer(kLarge);
    DWORD count = GetPrivateProfileSectionNamesW(buffer.data(), kLarge, file);
    expectList(buffer, count);
    std::vector<WCHAR> viaString(kLarge);
    PLX_FUZZ_EXPECT(GetPrivateProfileStringW(nullptr, nullptr, TEXT(""), viaString.data(), kLarge, file) == count);
    return listOf(buffer, count);
}

void walkSection(const std::u16string& section, const WCHAR* file) {
    for (DWORD size : kShortSizes) {
        std::vector<WCHAR> buffer(size);
        expectList(buffer, GetPrivateProfileSectionW(section.c_str(), buffer.data(), size, file));
        expectList(buffer, GetPrivateProfileStringW(section.c_str(), nullptr, TEXT(""), buffer.data(), size, file));
    }
    std::vector<WCHAR> lines(kLarge);
    expectList(lines, GetPrivateProfileSectionW(section.c_str(), lines.data(), kLarge, file));
    std::vector<WCHAR> keyBuffer(kLarge);
    DWORD count = GetPrivateProfileStringW(section.c_str(), nullptr, TEXT(""), keyBuffer.data(), kLarge, file);
    expectList(keyBuffer, count);
    std::vector<std::u16string> keys = listOf(keyBuffer, count);
    for (size_t i = 0; i < keys.size() && i < kMostWalked; ++i) {
        const WCHAR* key = keys[i].c_str();
        for (DWORD size : kShortSizes) {
            std::vector<WCHAR> buffer(size);
            expectString(buffer,
                         GetPrivateProfileStringW(section.c_str(), key, TEXT("default"), buffer.data(), size, file));
        }
        std::vector<WCHAR> value(kLarge);
        expectString(value,
                     GetPrivateProfileStringW(section.c_str(), key, TEXT("default"), value.data(), kLarge, file));
        GetPrivateProfileIntW(section.c_str(), key, -1, file);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string path = plxFuzzInputFile("profile.ini", data, size);
    const WCHAR* file = path.c_str();
    std::vector<std::u16string> sections = sectionNames(file);
    for (size_t i = 0; i < sections.size() && i < kMostWalked; ++i) walkSection(sections[i], file);

    // Edits find their place in whatever the file holds: in its first
    // section, unless a null cut that section's name in the list so that it
    // now ends in a tab or vertical tab, which a name in the file loses but
    // a name given to a call keeps.
    std::u16string section = sections.empty() ? u"plx" : sections.front();
    if (section.find_first_of(u"\t\v") == 0 || section.find_last_of(u"\t\v") == section.size() - 1) section = u"plx";
    PLX_FUZZ_EXPECT(WritePrivateProfileStringW(section.c_str(), TEXT("plxfuzz"), TEXT("written"), file));
    std::vector<WCHAR> value(kLarge);
    DWORD count = GetPrivateProfileStringW(section.c_str(), TEXT("plxfuzz"), TEXT(""), value.data(), kLarge, file);
    PLX_FUZZ_EXPECT(std::u16string(value.data(), count) == u"written");
    PLX_FUZZ_EXPECT(WritePrivateProfileStringW(section.c_str(), TEXT("plxfuzz"), nullptr, file));
    PLX_FUZZ_EXPECT(WritePrivateProfileSectionW(section.c_str(), TEXT("a=1\0b=2\0"), file));
    PLX_FUZZ_EXPECT(GetPrivateProfileIntW(section.c_str(), TEXT("b"), -1, file) == 2);
    PLX_FUZZ_EXPECT(WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, file));
    return 0;
}
