// Registry tree and the regedit .reg text reader and writer.
#include "reg_file.h"

#include "sim_internal.h"

#include <algorithm>

namespace plxsim {

// ------------------------------------------------------------------ tree

namespace {

// Windows enumerates sub keys ordered by their upper-cased names.
bool keyNameLess(const std::u16string& a, const std::u16string& b) { return upcase(a) < upcase(b); }

}  // namespace

RegKey* RegKey::findSub(const std::u16string& subName) const {
    for (const auto& sub : subKeys)
        if (equalNoCase(sub->name, subName)) return sub.get();
    return nullptr;
}

RegKey* RegKey::addSub(const std::u16string& subName, bool bVolatile) {
    auto pos = std::upper_bound(subKeys.begin(), subKeys.end(), subName,
                                [](const std::u16string& n, const std::unique_ptr<RegKey>& k) { return keyNameLess(n, k->name); });
    return subKeys.insert(pos, std::make_unique<RegKey>(subName, bVolatile))->get();
}

bool RegKey::removeSub(const std::u16string& subName) {
    for (auto it = subKeys.begin(); it != subKeys.end(); ++it) {
        if (equalNoCase((*it)->name, subName)) {
            subKeys.erase(it);
            return true;
        }
    }
    return false;
}

RegValue* RegKey::findValue(const std::u16string& valueName) {
    for (RegValue& v : values)
        if (equalNoCase(v.name, valueName)) return &v;
    return nullptr;
}

void RegKey::setValue(const std::u16string& valueName, DWORD type, std::vector<BYTE> data) {
    if (RegValue* existing = findValue(valueName)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values.push_back(RegValue{valueName, type, std::move(data)});
}

bool RegKey::removeValue(const std::u16string& valueName) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (equalNoCase(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

void RegKey::copyContentFrom(const RegKey& other, bool markVolatile) {
    values = other.values;
    subKeys.clear();
    for (const auto& sub : other.subKeys) {
        RegKey* copy = addSub(sub->name, markVolatile || sub->isVolatile);
        copy->copyContentFrom(*sub, markVolatile);
    }
}

bool RegKey::hasVolatileDescendant() const {
    for (const auto& sub : subKeys)
        if (sub->isVolatile || sub->hasVolatileDescendant()) return true;
    return false;
}

const std::vector<std::u16string>& RegTree::machineRoots() {
    static const std::vector<std::u16string> names{u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE",
                                                   u"HKEY_USERS", u"HKEY_CURRENT_CONFIG"};
    return names;
}

bool RegTree::isAllowedRoot(const std::u16string& rootName) const {
    if (m_allowed.empty()) return !rootName.empty();
    for (const auto& n : m_allowed)
        if (equalNoCase(n, rootName)) return true;
    return false;
}

RegKey* RegTree::root(const std::u16string& rootName, bool create) {
    for (const auto& r : m_roots)
        if (equalNoCase(r->name, rootName)) return r.get();
    if (!create || !isAllowedRoot(rootName)) return nullptr;
    // Roots are kept in the order of the allowed list, as regedit exports them.
    std::u16string canonical = rootName;
    size_t rank = m_allowed.size();
    for (size_t i = 0; i < m_allowed.size(); ++i) {
        if (equalNoCase(m_allowed[i], rootName)) {
            canonical = m_allowed[i];
            rank = i;
        }
    }
    auto pos = m_roots.begin();
    while (pos != m_roots.end()) {
        size_t other = m_allowed.size();
        for (size_t i = 0; i < m_allowed.size(); ++i)
            if (equalNoCase(m_allowed[i], (*pos)->name)) other = i;
        if (other > rank) break;
        ++pos;
    }
    return m_roots.insert(pos, std::make_unique<RegKey>(canonical))->get();
}

RegKey* RegTree::find(const std::u16string& rootName, const std::vector<std::u16string>& path) {
    RegKey* key = root(rootName, false);
    for (size_t i = 0; key && i < path.size(); ++i) key = key->findSub(path[i]);
    return key;
}

std::vector<std::u16string> splitKeyPath(const std::u16string& path) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos) end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// ------------------------------------------------------------------ decoding

std::u16string decodeRegBytes(const std::string& bytes) {
    std::u16string text;
    auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(byteAt(i) | (byteAt(i + 1) << 8));
        return text;
    }
    if (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>((byteAt(i) << 8) | byteAt(i + 1));
        return text;
    }
    size_t from = 0;
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) from = 3;
    if (fromUtf8Strict(bytes, from, text)) return text;
    text.clear();
    for (size_t i = from; i < bytes.size(); ++i) text += static_cast<char16_t>(byteAt(i));
    return text;
}

// ------------------------------------------------------------------ reader

namespace {

// "A registry tree can be 512 levels deep": a section naming a key further
// below its root names no key that Windows could hold.
const size_t kMostKeyLevels = 512;

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == 0xFEFF; }

std::u16string trim(const std::u16string& s) {
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool startsWithNoCase(const std::u16string& s, size_t pos, const std::u16string& prefix) {
    return s.size() >= pos + prefix.size() && equalNoCase(s.substr(pos, prefix.size()), prefix);
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
bool readQuoted(const std::u16string& s, size_t& pos, std::u16string& out) {
    out.clear();
    if (pos >= s.size() || s[pos] != u'"') return false;
    for (++pos; pos < s.size(); ++pos) {
        char16_t c = s[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\' && pos + 1 < s.size()) {
            char16_t n = s[++pos];
            if (n == u'\\' || n == u'"') {
                out += n;
            } else if (n == u'n') {
                out += u'\n';
            } else if (n == u'r') {
                out += u'\r';
            } else if (n == u'0') {
                out += u'\0';
            } else {
                out += u'\\';
                out += n;
            }
        } else {
            out += c;
        }
    }
    return false;
}

bool parseHexBytes(const std::u16string& text, std::vector<BYTE>& out) {
    out.clear();
    int acc = -1;
    for (char16_t c : text) {
        if (isSpace(c) || c == u'\\') continue;
        if (c == u',') {
            if (acc < 0) return false;
            out.push_back(static_cast<BYTE>(acc));
            acc = -1;
            continue;
        }
        int d = hexDigit(c);
        if (d < 0) return false;
        if (acc < 0) {
            acc = d;
        } else {
            if (acc > 0x0F) return false;  // three digits
            acc = acc * 16 + d;
        }
    }
    if (acc >= 0) out.push_back(static_cast<BYTE>(acc));
    return true;
}

std::vector<BYTE> textData(const std::u16string& text) {
    std::vector<BYTE> data;
    data.reserve((text.size() + 1) * 2);
    for (char16_t c : text) {
        data.push_back(static_cast<BYTE>(c & 0xFF));
        data.push_back(static_cast<BYTE>(c >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

// "ROOT\a\b" to its root and components; false for an empty or malformed path.
bool splitSectionPath(const std::u16string& path, std::u16string& rootName, std::vector<std::u16string>& parts) {
    parts = splitKeyPath(path);
    while (!parts.empty() && parts.back().empty()) parts.pop_back();  // trailing "\"
    if (parts.empty() || parts[0].empty()) return false;
    rootName = parts[0];
    parts.erase(parts.begin());
    for (const auto& p : parts)
        if (p.empty()) return false;
    return true;
}

class RegTextParser {
public:
    RegTextParser(const std::u16string& text, RegTree& tree, bool markVolatile)
        : m_tree(tree), m_markVolatile(markVolatile) {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find(u'\n', start);
            if (end == std::u16string::npos) end = text.size();
            m_lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

    RegParseResult run() {
        for (m_line = 0; m_line < m_lines.size(); ++m_line) {
            std::u16string s = trim(m_lines[m_line]);
            if (s.empty() || s[0] == u';') continue;
            if (s == u"Windows Registry Editor Version 5.00" || s == u"REGEDIT4") {
                m_result.hasHeader = true;
                continue;
            }
            if (s[0] == u'[') {
                section(s);
            } else if (!m_skipSection) {
                if (!m_key || !value(s)) ++m_result.badLines;
            }
        }
        return m_result;
    }

private:
    void section(const std::u16string& s) {
        m_key = nullptr;
        m_skipSection = false;
        size_t close = s.rfind(u']');
        if (close == std::u16string::npos || close < 1) {
            ++m_result.badLines;
            return;
        }
        std::u16string inner = s.substr(1, close - 1);
        bool remove = !inner.empty() && inner[0] == u'-';
        if (remove) inner = inner.substr(1);
        std::u16string rootName;
        std::vector<std::u16string> parts;
        if (!splitSectionPath(inner, rootName, parts) || !m_tree.isAllowedRoot(rootName) ||
            parts.size() > kMostKeyLevels) {
            ++m_result.badLines;
            return;
        }
        if (remove) {
            m_skipSection = true;  // regedit ignores values under a deleted key
            if (parts.empty()) {
                ++m_result.badLines;  // a root cannot be deleted
                return;
            }
            std::vector<std::u16string> parentPath(parts.begin(), parts.end() - 1);
            if (RegKey* parent = m_tree.find(rootName, parentPath)) parent->removeSub(parts.back());
            return;
        }
        RegKey* key = m_tree.root(rootName, true);
        for (const auto& part : parts) {
            RegKey* sub = key->findSub(part);
            key = sub ? sub : key->addSub(part, m_markVolatile);
        }
        if (m_markVolatile) key->isVolatile = true;
        m_key = key;
    }

    bool value(const std::u16string& s) {
        size_t pos = 0;
        std::u16string name;
        if (s[0] == u'@') {
            pos = 1;
        } else if (!readQuoted(s, pos, name)) {
            return false;
        }
        while (pos < s.size() && isSpace(s[pos])) ++pos;
        if (pos >= s.size() || s[pos] != u'=') return false;
        std::u16string data = trim(s.substr(pos + 1));
        if (data == u"-") {
            m_key->removeValue(name);
            return true;
        }
        if (!data.empty() && data[0] == u'"') {
            size_t p = 0;
            std::u16string text;
            if (!readQuoted(data, p, text) || !trim(data.substr(p)).empty()) return false;
            m_key->setValue(name, REG_SZ, textData(text));
            return true;
        }
        if (startsWithNoCase(data, 0, u"dword:")) {
            std::u16string digits = trim(data.substr(6));
            if (digits.empty() || digits.size() > 8) return false;
            DWORD number = 0;
            for (char16_t c : digits) {
                int d = hexDigit(c);
                if (d < 0) return false;
                number = number * 16 + static_cast<DWORD>(d);
            }
            m_key->setValue(name, REG_DWORD,
                            {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
                             static_cast<BYTE>(number >> 24)});
            return true;
        }
        if (startsWithNoCase(data, 0, u"hex")) return hexValue(name, data);
        return false;
    }

    bool hexValue(const std::u16string& name, const std::u16string& data) {
        size_t pos = 3;
        DWORD type = REG_BINARY;
        if (pos < data.size() && data[pos] == u'(') {
            size_t close = data.find(u')', pos);
            if (close == std::u16string::npos || close == pos + 1 || close - pos - 1 > 8) return false;
            type = 0;
            for (size_t i = pos + 1; i < close; ++i) {
                int d = hexDigit(data[i]);
                if (d < 0) return false;
                type = type * 16 + static_cast<DWORD>(d);
            }
            pos = close + 1;
        }
        if (pos >= data.size() || data[pos] != u':') return false;
        std::u16string list = trim(data.substr(pos + 1));
        // A list ending in "\" continues on the next line.
        while (!list.empty() && list.back() == u'\\' && m_line + 1 < m_lines.size()) {
            list.pop_back();
            list += trim(m_lines[++m_line]);
        }
        std::vector<BYTE> bytes;
        if (!parseHexBytes(list, bytes)) return false;
        m_key->setValue(name, type, std::move(bytes));
        return true;
    }

    RegTree& m_tree;
    bool m_markVolatile;
    std::vector<std::u16string> m_lines;
    size_t m_line = 0;
    RegKey* m_key = nullptr;
    bool m_skipSection = false;
    RegParseResult m_result;
};

}  // namespace

RegParseResult parseRegText(const std::u16string& text, RegTree& tree, bool markVolatile) {
    return RegTextParser(text, tree, markVolatile).run();
}

// ------------------------------------------------------------------ writer

namespace {

const char16_t kHexDigits[] = u"0123456789abcdef";

// A quoted name or text as the reader reads it back: a line break must not
// end the line, so CR and LF are written as the reader's "\r" and "\n".
std::u16string escaped(const std::u16string& text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c == u'\r') {
            out += u"\\r";
        } else if (c == u'\n') {
            out += u"\\n";
        } else {
            if (c == u'\\' || c == u'"') out += u'\\';
            out += c;
        }
    }
    return out;
}

// REG_SZ data that regedit's "name"="text" form gives back byte for byte.
bool isPlainText(const RegValue& v, std::u16string& text) {
    size_t n = v.data.size();
    if (v.type != REG_SZ || n < 2 || n % 2 != 0) return false;
    text.clear();
    for (size_t i = 0; i + 2 < n; i += 2) {
        char16_t c = static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8));
        if (c == 0 || c == u'\r' || c == u'\n') return false;
        text += c;
    }
    return v.data[n - 2] == 0 && v.data[n - 1] == 0;
}

void appendValue(std::u16string& out, const RegValue& v) {
    std::u16string line = v.name.empty() ? std::u16string(u"@") : u"\"" + escaped(v.name) + u"\"";
    line += u'=';
    std::u16string text;
    if (isPlainText(v, text)) {
        out += line + u"\"" + escaped(text) + u"\"\r\n";
        return;
    }
    if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD number = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<DWORD>(v.data[3]) << 24);
        line += u"dword:";
        for (int shift = 28; shift >= 0; shift -= 4) line += kHexDigits[(number >> shift) & 0xF];
        out += line + u"\r\n";
        return;
    }
    if (v.type == REG_BINARY) {
        line += u"hex:";
    } else {
        std::u16string digits;
        DWORD t = v.type;
        do {
            digits.insert(digits.begin(), kHexDigits[t & 0xF]);
            t >>= 4;
        } while (t);
        line += u"hex(" + digits + u"):";
    }
    // regedit wraps hex lists before column 80 and indents continuations by two.
    size_t column = line.size();
    for (size_t i = 0; i < v.data.size(); ++i) {
        bool last = i + 1 == v.data.size();
        size_t width = last ? 2 : 3;
        if (column + width > 78) {
            line += u"\\\r\n  ";
            column = 2;
        }
        line += kHexDigits[v.data[i] >> 4];
        line += kHexDigits[v.data[i] & 0xF];
        if (!last) line += u',';
        column += width;
    }
    out += line + u"\r\n";
}

void appendKey(std::u16string& out, const RegKey& key, const std::u16string& path, bool isRoot, bool volatilePart) {
    if (!volatilePart && key.isVolatile) return;  // volatile keys never reach the file
    bool include = volatilePart ? key.isVolatile : !(isRoot && key.values.empty());
    if (include) {
        out += u"[" + path + u"]\r\n";
        for (const RegValue& v : key.values) appendValue(out, v);
        out += u"\r\n";
    }
    for (const auto& sub : key.subKeys) appendKey(out, *sub, path + u"\\" + sub->name, false, volatilePart);
}

}  // namespace

std::u16string formatRegText(const RegTree& tree, bool volatilePart) {
    std::u16string out = u"Windows Registry Editor Version 5.00\r\n\r\n";
    for (const auto& r : tree.roots()) appendKey(out, *r, r->name, true, volatilePart);
    return out;
}

std::string formatRegFile(const RegTree& tree, bool volatilePart) {
    std::u16string text = formatRegText(tree, volatilePart);
    std::string bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes += '\xFF';
    bytes += '\xFE';
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

}  // namespace plxsim
