#include "plx_reg_text.h"

#include <sstream>
#include <stdexcept>

std::u16string plxUtf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        uint32_t c = b;
        size_t extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : 3;
        if (extra) c = b & (0x3F >> extra);
        for (size_t k = 1; k <= extra && i + k < text.size(); ++k) c = (c << 6) | (text[i + k] & 0x3F);
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string plxUtf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
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

namespace {

[[noreturn]] void bad(const std::string& line, const std::string& why) {
    throw std::runtime_error(".reg text: " + why + ": " + line);
}

// A quoted name or text starting at pos (on the quote); pos ends after the closing quote.
std::string quoted(const std::string& line, size_t& pos) {
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
        if (line[pos] == '\\' && pos + 1 < line.size()) {
            out += line[++pos];
        } else if (line[pos] == '"') {
            ++pos;
            return out;
        } else {
            out += line[pos];
        }
    }
    bad(line, "unterminated quote");
}

std::vector<uint8_t> hexBytes(const std::string& list, const std::string& line) {
    std::vector<uint8_t> bytes;
    std::istringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        std::string hex;
        for (char c : item)
            if (c != ' ' && c != '\t') hex += c;
        if (hex.empty()) continue;
        if (hex.size() > 2 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            bad(line, "bad hex byte '" + hex + "'");
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
    }
    return bytes;
}

std::u16string rootName(const std::string& name, const std::string& line) {
    static const char* const kRoots[][2] = {{"HKEY_LOCAL_MACHINE", "HKLM"}, {"HKEY_CURRENT_USER", "HKCU"},
                                            {"HKEY_CLASSES_ROOT", "HKCR"},  {"HKEY_USERS", "HKU"},
                                            {"HKEY_CURRENT_CONFIG", "HKCC"}};
    std::string upper;
    for (char c : name) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    for (const auto& root : kRoots)
        if (upper == root[0] || upper == root[1]) return plxUtf8ToUtf16(root[0]);
    bad(line, "unknown root key");
}

}  // namespace

std::vector<PlxRegTextKey> plxParseRegText(const std::string& text) {
    std::vector<PlxRegTextKey> keys;
    std::istringstream in(text);
    std::string raw, line;
    bool first = true;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        if (first && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
        first = false;
        // Continued hex lists end with a backslash.
        bool continuing = !line.empty();
        std::string piece = raw;
        if (continuing) {
            size_t start = piece.find_first_not_of(" \t");
            piece = start == std::string::npos ? "" : piece.substr(start);
        }
        if (!piece.empty() && piece.back() == '\\' && (continuing || piece.find("=hex") != std::string::npos)) {
            line += piece.substr(0, piece.size() - 1);
            continue;
        }
        line += piece;
        std::string current;
        current.swap(line);
        size_t b = current.find_first_not_of(" \t");
        if (b == std::string::npos || current[b] == ';') continue;
        current.erase(0, b);
        if (current.compare(0, 8, "Windows ") == 0 || current == "REGEDIT4") continue;
        if (current[0] == '[') {
            size_t close = current.rfind(']');
            if (close == std::string::npos) bad(current, "missing ]");
            PlxRegTextKey key;
            std::string name = current.substr(1, close - 1);
            if (!name.empty() && name[0] == '-') {
                key.remove = true;
                name.erase(0, 1);
            }
            size_t slash = name.find('\\');
            key.root = rootName(name.substr(0, slash), current);
            key.path = slash == std::string::npos ? u"" : plxUtf8ToUtf16(name.substr(slash + 1));
            keys.push_back(key);
            continue;
        }
        if (keys.empty()) bad(current, "value outside a key");
        PlxRegTextValue value;
        size_t pos = 0;
        if (current[0] == '@') {
            pos = 1;
        } else if (current[0] == '"') {
            value.name = plxUtf8ToUtf16(quoted(current, pos));
        } else {
            bad(current, "expected a value name");
        }
        if (pos >= current.size() || current[pos] != '=') bad(current, "expected =");
        std::string data = current.substr(pos + 1);
        if (data == "-") {
            value.remove = true;
        } else if (!data.empty() && data[0] == '"') {
            size_t p = 0;
            std::u16string s = plxUtf8ToUtf16(quoted(data, p));
            value.type = 1;  // REG_SZ
            for (char16_t c : s) {
                value.data.push_back(static_cast<uint8_t>(c));
                value.data.push_back(static_cast<uint8_t>(c >> 8));
            }
            value.data.push_back(0);
            value.data.push_back(0);
        } else if (data.compare(0, 6, "dword:") == 0) {
            std::string hex = data.substr(6);
            if (hex.empty() || hex.size() > 8 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                bad(current, "bad dword");
            uint32_t v = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
            value.type = 4;  // REG_DWORD
            for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(v >> (8 * i)));
        } else if (data.compare(0, 4, "hex:") == 0) {
            value.type = 3;  // REG_BINARY
            value.data = hexBytes(data.substr(4), current);
        } else if (data.compare(0, 4, "hex(") == 0) {
            size_t close = data.find("):");
            if (close == std::string::npos) bad(current, "bad hex(type)");
            value.type = static_cast<uint32_t>(std::stoul(data.substr(4, close - 4), nullptr, 16));
            value.data = hexBytes(data.substr(close + 2), current);
        } else {
            bad(current, "unknown value data");
        }
        keys.back().values.push_back(value);
    }
    return keys;
}
