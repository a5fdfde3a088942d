// Exports the registry key tree HKEY_LOCAL_MACHINE\SOFTWARE\Orvane to the
// registry text format, imports the tree again under SOFTWARE\Orvane Copy and
// shows both files: what was exported, and an export of the imported copy.
//
//   registry_text [FOLDER]     FOLDER: where the files go (C:\Users\Public\Documents)
//
// A 32-bit build sees the 32-bit registry view on 64-bit Windows (there,
// SOFTWARE\WOW6432Node\Orvane).  On the simulated machine, run it with
// PLX_MACHINE naming the machine (scripts/example.sh does).
#include "plx_ini.h"
#include "plx_registry_key.h"

#include <cstdio>
#include <string>

namespace {
const WCHAR* const kTree = TEXT("SOFTWARE\\Orvane");
const WCHAR* const kCopy = TEXT("SOFTWARE\\Orvane Copy");

// The text as UTF-8 for the console: a surrogate pair is one character, a
// lone surrogate U+FFFD.  The example's own, so that it needs the library only.
std::string utf8(const CPLXWCharString& text) {
    std::string out;
    const WCHAR* p = text.c_str();
    for (size_t i = 0; p[i] != 0; ++i) {
        unsigned c = p[i];
        if (c >= 0xD800 && c < 0xDC00 && p[i + 1] >= 0xDC00 && p[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (p[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The file's sections and lines as the profile functions read them.
void show(const CPLXWCharString& file) {
    std::printf("---- %s\n", utf8(file).c_str());
    CPLXIni ini(file);
    CPLXDblList<CPLXWCharString> sections;
    ini.getProfileSectionNames(sections);
    sections.forEach([&](const CPLXWCharString& section) {
        std::printf("[%s]\n", utf8(section).c_str());
        CPLXDblList<CPLXWCharString> lines;
        ini.getProfileSection(section, lines);
        lines.forEach([](const CPLXWCharString& line) { std::printf("%s\n", utf8(line).c_str()); });
    });
}

// A copy of the export with every section moved from kTree to kCopy.
bool retarget(const CPLXWCharString& from, const CPLXWCharString& to) {
    DeleteFileW(to.c_str());
    CPLXIni source(from), target(to);
    // Written by the profile functions, a new file would be ANSI text.
    if (!target.createUnicodeFile()) return false;
    const CPLXWCharString oldRoot = CPLXWCharString(TEXT("HKEY_LOCAL_MACHINE\\")) + kTree;
    const CPLXWCharString newRoot = CPLXWCharString(TEXT("HKEY_LOCAL_MACHINE\\")) + kCopy;
    CPLXDblList<CPLXWCharString> sections;
    if (!source.getProfileSectionNames(sections)) return false;
    bool bOk = true;
    sections.forEach([&](const CPLXWCharString& section) {
        CPLXWCharString moved(section);
        moved.replace(oldRoot, newRoot, 1, CPLXWCharString::ssmOccur);
        CPLXDblList<CPLXWCharString> lines;
        if (!source.getProfileSection(section, lines)) {
            bOk = target.createProfileSection(moved) && bOk;
            return;
        }
        lines.forEach([&](const CPLXWCharString& line) {
            ULONG ulEquals = 0;
            if (!line.find(CPLXWCharString(TEXT("=")), 1, CPLXWCharString::pmFromStart, ulEquals)) return;
            bOk = target.setProfileString(moved, line.withoutLast(line.getLength() - ulEquals),
                                          line.withoutFirst(ulEquals + 1)) &&
                  bOk;
        });
    });
    return bOk;
}
}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "C:\\Users\\Public\\Documents";
    const std::basic_string<WCHAR> wideFolder(folder.begin(), folder.end());
    const CPLXWCharString dir(wideFolder.c_str());
    const CPLXWCharString exported = dir + TEXT("\\orvane-export.txt");
    const CPLXWCharString moved = dir + TEXT("\\orvane-copy.txt");
    const CPLXWCharString copied = dir + TEXT("\\orvane-copy-export.txt");

    CPLXRegistryKey tree(HKEY_LOCAL_MACHINE, CPLXWCharString(kTree), KEY_READ);
    if (!tree.exists()) {
        std::printf("HKEY_LOCAL_MACHINE\\%s does not exist here\n", utf8(kTree).c_str());
        return 1;
    }
    if (!tree.exportKey(exported, PLX_REG_EXPORT_TEXT, true)) {
        std::printf("the export was not whole (see the diagnostic log)\n");
        return 1;
    }
    show(exported);
    if (!retarget(exported, moved) || !tree.importKey(moved, PLX_REG_IMPORT_TEXT)) {
        std::printf("the copy could not be imported\n");
        return 1;
    }
    CPLXRegistryKey copy(HKEY_LOCAL_MACHINE, CPLXWCharString(kCopy), KEY_READ);
    if (!copy.exportKey(copied, PLX_REG_EXPORT_TEXT, true)) {
        std::printf("the copy's export was not whole\n");
        return 1;
    }
    show(copied);
    return 0;
}
