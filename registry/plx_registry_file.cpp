#include "plx_registry_file.h"

#include "plx_directory.h"
#include "plx_handlers.h"
#include "plx_ini.h"
#include "plx_registry_binary.h"
#include "plx_registry_dword.h"
#include "plx_registry_expand.h"
#include "plx_registry_key.h"
#include "plx_registry_multi_string.h"
#include "plx_registry_string.h"
#include "plx_scoped_handle.h"
#include "plx_win32.h"

namespace {
const WCHAR* const kBackslash = TEXT("\\");

const struct {
    HKEY hRoot;
    const WCHAR* szName;
} kRootNames[] = {{HKEY_CLASSES_ROOT, TEXT("HKEY_CLASSES_ROOT")},
                  {HKEY_LOCAL_MACHINE, TEXT("HKEY_LOCAL_MACHINE")},
                  {HKEY_USERS, TEXT("HKEY_USERS")},
                  {HKEY_CURRENT_CONFIG, TEXT("HKEY_CURRENT_CONFIG")},
                  {HKEY_CURRENT_USER, TEXT("HKEY_CURRENT_USER")}};

// The section name of a key: its root's name, "\" and the path.  Any handle
// that is no other predefined root counts as HKEY_CURRENT_USER.
CPLXWCharString sectionOf(HKEY hRootKey, const CPLXWCharString& keyPath) {
    CPLXWCharString section(TEXT("HKEY_CURRENT_USER"));
    for (const auto& root : kRootNames) {
        if (root.hRoot == hRootKey) {
            section = root.szName;
            break;
        }
    }
    if (!keyPath.beginsWith(CPLXWCharString(kBackslash))) section += CPLXWCharString(kBackslash);
    return section + keyPath;
}

// The root key a section names; unknown names are HKEY_LOCAL_MACHINE.
HKEY rootOf(const CPLXWCharString& rootName) {
    for (const auto& root : kRootNames) {
        if (rootName == CPLXWCharString(root.szName)) return root.hRoot;
    }
    return HKEY_LOCAL_MACHINE;
}

// The text before the first occurrence of delimiter, and the text after it;
// false when it does not occur.
bool splitAt(const CPLXWCharString& text, const WCHAR* szDelimiter, CPLXWCharString& before, CPLXWCharString& after) {
    ULONG ulPos = 0;
    if (!text.find(CPLXWCharString(szDelimiter), 1, CPLXWCharString::pmFromStart, ulPos)) return false;
    before = text.withoutLast(text.getLength() - ulPos);
    after = text.withoutFirst(ulPos + 1);
    return true;
}

CPLXWCharString quoted(const CPLXWCharString& text) { return TEXT("\"") + text + CPLXWCharString(TEXT("\"")); }

// Every byte as two upper-case hexadecimal digits, separated by blanks; an
// odd count gains a zero byte.
CPLXWCharString binaryText(const CPLXBuffer<unsigned char>& data) {
    ULONG ulCount = data.getNumElems();
    CPLXBuffer<unsigned char> even(ulCount + ulCount % 2);
    for (ULONG i = 0; i < ulCount; ++i) even[i] = data[i];
    return plxAsciiCodeString(even.getBuffer(), even.getNumElems());
}

// The bytes of an ASCII code string, with a zero byte added to an odd count.
CPLXBuffer<unsigned char> evenBytes(const CPLXWCharString& codes) {
    CPLXBuffer<unsigned char> bytes = codes.getBufferFromAsciiCodeString();
    if (bytes.getNumElems() % 2 == 0) return bytes;
    CPLXBuffer<unsigned char> even(bytes.getNumElems() + 1);
    for (ULONG i = 0; i < bytes.getNumElems(); ++i) even[i] = bytes[i];
    return even;
}

// One entry of a multi-string: the bytes as wide characters up to the first zero.
CPLXWCharString multiEntry(const CPLXWCharString& codes) {
    CPLXBuffer<unsigned char> bytes = evenBytes(codes);
    CPLXBuffer<unsigned short> units(bytes.getNumElems() / 2 + 1);
    for (ULONG i = 0; i + 1 < bytes.getNumElems(); i += 2)
        units[i / 2] = static_cast<unsigned short>(bytes[i] | (bytes[i + 1] << 8));
    return CPLXWCharString(units);
}

}  // namespace

CPLXRegistryFile::CPLXRegistryFile(const CPLXWCharString& szFileName) : m_szFileName(szFileName) {}

bool CPLXRegistryFile::saveKey(HKEY hRootKey, const CPLXWCharString& keyPath, bool bOverwrite) {
    try {
        // An empty section would bring a key that never existed into being on import.
        if (!CPLXRegistryKey(hRootKey, keyPath, KEY_READ, false, 0).exists()) return false;
        if (bOverwrite) DeleteFileW(m_szFileName.c_str());
        CPLXWCharString folder;
        if (m_szFileName.parse(folder, CPLXWCharString(kBackslash), 1, CPLXWCharString::pmFromEnd, false)) {
            folder = m_szFileName.withoutLast(folder.getLength() + 1);
            CPLXDirectory directory(folder);
            if (!directory.isValidDirectory()) directory.createDirectory();
        }
        // A new file is UTF-16LE, so that every text the registry holds fits.
        const bool bExisted = GetFileAttributesW(m_szFileName.c_str()) != INVALID_FILE_ATTRIBUTES;
        CPLXIni ini(m_szFileName);
        ini.createUnicodeFile();
        // Sections the file holds already are merged entry by entry; when they
        // cannot be listed, every section is.
        m_sections.clear();
        CPLXDblList<CPLXWCharString> names;
        m_bMergeAll = bExisted && !ini.getProfileSectionNames(names) && !isEmptyFile();
        names.forEach([&](const CPLXWCharString& name) { m_sections.insert(name); });
        return saveTree(hRootKey, keyPath);
    }
    PLX_CATCH_ALL_RETURN_LASTERROR(false)
}

bool CPLXRegistryFile::isEmptyFile() const {
    WIN32_FIND_DATAW data;
    const CPLXScopedFindHandle search(FindFirstFileW(m_szFileName.c_str(), &data));
    if (!search.isValid()) return true;
    // Nothing but a byte-order mark.
    return data.nFileSizeHigh == 0 && data.nFileSizeLow <= 2;
}

bool CPLXRegistryFile::writeSection(const CPLXWCharString& section, const std::vector<CEntry>& entries) {
    CPLXIni ini(m_szFileName);
    bool bWhole = true;
    // A name or text with a line break goes to setProfileString, which refuses and reports it.
    CPLXDblList<CPLXWCharString> lines;
    ULONG ulUnits = 1;
    for (const CEntry& entry : entries) {
        if (!CPLXIni::isSingleLine(entry.name) || !CPLXIni::isSingleLine(entry.text)) {
            bWhole = ini.setProfileString(section, entry.name, entry.text) && bWhole;
            continue;
        }
        lines.add(entry.name + CPLXWCharString(TEXT("=")) + entry.text);
        ulUnits += entry.name.getLength() + 1 + entry.text.getLength() + 1;
    }
    if (lines.getCount() == 0) return bWhole;
    // One read takes a section of fewer than 32765 units of lines.
    const bool bFits = ulUnits < INI_SECTION_READ_UNITS - 2;
    if (!bFits) CPLXProfileSectionTooLargeWarning(section.c_str(), INI_SECTION_READ_UNITS, PLX_SRC, PLX_LOG_NOW);
    const bool bNew = !m_bMergeAll && m_sections.count(section) == 0;
    m_sections.insert(section);
    if (bNew && bFits) {
        // A section new to the file is written at once: one write of the file
        // for a whole key, not one per value.
        return ini.setProfileSection(section, lines) && bWhole;
    }
    for (const CEntry& entry : entries) {
        if (CPLXIni::isSingleLine(entry.name) && CPLXIni::isSingleLine(entry.text))
            bWhole = ini.setProfileString(section, entry.name, entry.text) && bWhole;
    }
    return bWhole;
}

bool CPLXRegistryFile::saveTree(HKEY hRootKey, const CPLXWCharString& keyPath) {
    const CPLXWCharString section = sectionOf(hRootKey, keyPath);
    const CPLXWCharString noName;
    bool bWhole = true;
    // The key's entries in file order: numbers, texts, expandable texts, lists, binary data.
    std::vector<CEntry> entries;
    auto write = [&](const CPLXWCharString& name, const CPLXWCharString& text) { entries.push_back({name, text}); };

    CPLXDblList<CPLXRegistryDwordValue> dwords;
    CPLXRegistryDword(hRootKey, keyPath, noName, KEY_READ, false, 0).getAllValues(dwords);
    dwords.forEach([&](const CPLXRegistryDwordValue& value) {
        write(value.m_szName, TEXT("REG_DWORD:") + CPLXWCharString(value.m_dwValue, CPLXWCharString::nsHex, 8, true));
    });

    CPLXDblList<CPLXRegistryStringValue> strings;
    CPLXRegistryString(hRootKey, keyPath, noName, KEY_READ, false, 0).getAllValues(strings);
    strings.forEach([&](const CPLXRegistryStringValue& value) {
        write(value.m_szName, TEXT("REG_SZ:") + quoted(value.m_szValue));
    });

    CPLXDblList<CPLXRegistryStringValue> expandables;
    CPLXRegistryStringExpand(hRootKey, keyPath, noName, KEY_READ, false, 0).getAllValues(expandables, false);
    expandables.forEach([&](const CPLXRegistryStringValue& value) {
        write(value.m_szName, TEXT("REG_SZ_EXPAND:") + quoted(value.m_szValue));
    });

    CPLXDblList<CPLXRegistryMultiStringValue> multis;
    CPLXRegistryMultiString(hRootKey, keyPath, noName, KEY_READ, false, 0).getAllValues(multis);
    multis.forEach([&](const CPLXRegistryMultiStringValue& value) {
        CPLXWCharString entries;
        value.m_lValues.forEach([&](const CPLXWCharString& entry) {
            if (entries.getLength() > 0) entries += CPLXWCharString(TEXT(","));
            entries += entry.getAsciiCodeString();
        });
        write(value.m_szName, TEXT("REG_SZ_MULTI:") + entries);
    });

    CPLXDblList<CPLXRegistryBinaryValue> binaries;
    CPLXRegistryBinary(hRootKey, keyPath, noName, KEY_READ, false, 0).getAllValues(binaries);
    binaries.forEach([&](const CPLXRegistryBinaryValue& value) {
        write(value.m_szName, TEXT("REG_BINARY:") + binaryText(value.m_value));
    });

    bWhole = writeSection(section, entries);

    CPLXDblList<CPLXWCharString> subKeys;
    CPLXRegistryKey key(hRootKey, keyPath, KEY_READ, false, 0);
    key.enumSubKeys(subKeys);
    key.close();
    // A key without values and sub keys would not come back from its
    // entries: an empty section names it.
    CPLXDblList<CPLXWCharString> valueNames;
    if (subKeys.getCount() == 0 && !CPLXRegistryKey(hRootKey, keyPath, KEY_READ, false, 0).enumValueNames(valueNames)) {
        bWhole = CPLXIni(m_szFileName).createProfileSection(section) && bWhole;
        m_sections.insert(section);
    }
    subKeys.forEach([&](const CPLXWCharString& subKey) {
        bWhole = saveTree(hRootKey, keyPath + CPLXWCharString(kBackslash) + subKey) && bWhole;
    });
    return bWhole;
}

bool CPLXRegistryFile::loadFile() {
    try {
        CPLXIni ini(m_szFileName);
        CPLXDblList<CPLXWCharString> sections;
        ini.getProfileSectionNames(sections);
        sections.forEach([&](const CPLXWCharString& section) { loadSection(section); });
        return true;
    }
    PLX_CATCH_ALL_RETURN_LASTERROR(false)
}

void CPLXRegistryFile::loadSection(const CPLXWCharString& section) {
    CPLXWCharString rootName, keyPath;
    if (!splitAt(section, kBackslash, rootName, keyPath)) {
        rootName = section;
        keyPath = section;
    }
    const HKEY hRoot = rootOf(rootName);
    const REGSAM samAccess = KEY_READ | KEY_WRITE;
    CPLXRegistryKey key(hRoot, keyPath, samAccess, true, 0);
    key.open();  // a section without entries still makes its key
    key.close();

    CPLXIni ini(m_szFileName);
    CPLXDblList<CPLXWCharString> lines;
    if (!ini.getProfileSection(section, lines)) return;
    lines.forEach([&](const CPLXWCharString& line) { loadLine(hRoot, keyPath, line); });
}

void CPLXRegistryFile::loadLine(HKEY hRoot, const CPLXWCharString& keyPath, const CPLXWCharString& line) {
    CPLXWCharString name, typed, tag, data;
    if (!splitAt(line, TEXT("="), name, typed) || !splitAt(typed, TEXT(":"), tag, data)) return;
    const REGSAM samAccess = KEY_READ | KEY_WRITE;
    if (tag == CPLXWCharString(TEXT("REG_DWORD"))) {
        ULONG ulNumber = 0;
        if (data.toNumber(ulNumber, CPLXWCharString::nsHex))
            CPLXRegistryDword(hRoot, keyPath, name, samAccess, true, 0).setValue(ulNumber, false);
    } else if (tag == CPLXWCharString(TEXT("REG_SZ"))) {
        CPLXRegistryString(hRoot, keyPath, name, samAccess, true, 0)
            .setValue(data.withoutFirst(1).withoutLast(1), false);
    } else if (tag == CPLXWCharString(TEXT("REG_SZ_EXPAND"))) {
        CPLXRegistryStringExpand(hRoot, keyPath, name, samAccess, true, 0)
            .setValue(data.withoutFirst(1).withoutLast(1), false);
    } else if (tag == CPLXWCharString(TEXT("REG_BINARY"))) {
        CPLXRegistryBinary(hRoot, keyPath, name, samAccess, true, 0).setValue(evenBytes(data), false);
    } else if (tag == CPLXWCharString(TEXT("REG_SZ_MULTI"))) {
        CPLXDblList<CPLXWCharString> tokens, entries;
        data.split(tokens, CPLXWCharString(TEXT(",")), CPLXWCharString::tmSeparated);
        tokens.forEach([&](const CPLXWCharString& token) { entries.add(multiEntry(token)); });
        CPLXRegistryMultiString(hRoot, keyPath, name, samAccess, true, 0).setValue(entries, false);
    }
}
