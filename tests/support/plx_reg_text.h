// Reader of regedit's text format (Windows Registry Editor Version 5.00), for
// test machines built from .reg text on real Windows.
#ifndef PLX_REG_TEXT_H
#define PLX_REG_TEXT_H

#include <cstdint>
#include <string>
#include <vector>

struct PlxRegTextValue {
    std::u16string name;  // empty: the default value ("@")
    bool remove = false;  // "name"=-
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct PlxRegTextKey {
    std::u16string root;  // HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, ...
    std::u16string path;  // below the root, without leading backslash
    bool remove = false;  // [-HKEY_...]
    std::vector<PlxRegTextValue> values;
};

// Parses UTF-8 .reg text; throws std::runtime_error naming the bad line.
std::vector<PlxRegTextKey> plxParseRegText(const std::string& text);

std::u16string plxUtf8ToUtf16(const std::string& text);
std::string plxUtf16ToUtf8(const std::u16string& text);

#endif
