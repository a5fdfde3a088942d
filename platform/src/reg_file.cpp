// Registry tree and the regedit .reg text reader and writer.
#include "reg_file.h"

#include "internal.h"

#include <algorithm>
#include <string_view>

namespace plxsim {

// ------------------------------------------------------------------ tree

RegKey::RegKey(std::u16string keyName, RegKey* parent, bool bVolatile, RegChanges* changes)
    : name(std::move(keyName)), isVolatile(bVolatile), m_upper(upcase(name)), m_parent(parent), m_changes(changes) {}

namespace {

// Windows enumerates sub keys ordered by their upper-cased names.
bool subAfter(const std::u16string& upper, const std::unique_ptr<RegKey>& key) { return upper < key->sortKey(); }

// Compares an upper-cased name with a name as given, upper-casing on the way.
int compareUpper(const std::u16string& upper, const std::u16string& name) {
    size_t n = std::min(upper.size(), name.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t c = name[i];
        c = c < 0x80 ? (c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c) : upcaseChar(c);
        if (upper[i] != c) return upper[i] < c ? -1 : 1;
    }
    return upper.size() < name.size() ? -1 : upper.size() > name.size() ? 1 : 0;
}

}  // namespace

size_t RegKey::subPosition(const std::u16string& subName) const {
    auto pos = std::lower_bound(m_subKeys.begin(), m_subKeys.end(), subName,
                                [](const std::unique_ptr<RegKey>& k, const std::u16string& name) {
                                    return compareUpper(k->m_upper, name) < 0;
                                });
    if (pos == m_subKeys.end() || compareUpper((*pos)->m_upper, subName) != 0) return m_subKeys.size();
    return static_cast<size_t>(pos - m_subKeys.begin());
}

RegKey* RegKey::findSub(const std::u16string& subName) const {
    size_t pos = subPosition(subName);
    return pos < m_subKeys.size() ? m_subKeys[pos].get() : nullptr;
}

RegKey* RegKey::addSub(const std::u16string& subName, bool bVolatile) {
    auto sub = std::make_unique<RegKey>(subName, this, bVolatile, m_changes);
    auto pos = std::upper_bound(m_subKeys.begin(), m_subKeys.end(), sub->m_upper, subAfter);
    RegKey* added = m_subKeys.insert(pos, std::move(sub))->get();
    if (m_changes && m_changes->recording) {
        if (bVolatile)
            m_changes->volatileChanged = true;
        else
            added->recordSection();
    }
    return added;
}

bool RegKey::removeSub(const std::u16string& subName) {
    size_t pos = subPosition(subName);
    if (pos == m_subKeys.size()) return false;
    recordKeyRemoved(*m_subKeys[pos]);
    m_subKeys.erase(m_subKeys.begin() + static_cast<std::ptrdiff_t>(pos));
    return true;
}

size_t RegKey::valuePosition(const std::u16string& valueName) const {
    if (!m_valueIndex.empty()) {
        auto it = m_valueIndex.find(upcase(valueName));
        return it == m_valueIndex.end() ? m_values.size() : it->second;
    }
    for (size_t i = 0; i < m_values.size(); ++i)
        if (equalNoCase(m_values[i].name, valueName)) return i;
    return m_values.size();
}

void RegKey::indexValues() {
    m_valueIndex.clear();
    if (m_values.size() < kIndexFrom) return;
    m_valueIndex.reserve(m_values.size() * 2);
    for (size_t i = 0; i < m_values.size(); ++i) m_valueIndex.emplace(upcase(m_values[i].name), i);
}

RegValue* RegKey::findValue(const std::u16string& valueName) {
    size_t pos = valuePosition(valueName);
    return pos < m_values.size() ? &m_values[pos] : nullptr;
}

void RegKey::setValue(const std::u16string& valueName, DWORD type, std::vector<BYTE> data) {
    size_t pos = valuePosition(valueName);
    if (pos < m_values.size()) {
        RegValue& existing = m_values[pos];
        if (existing.type == type && existing.data == data) return;
        existing.type = type;
        existing.data = std::move(data);
        recordValue(existing);
        return;
    }
    m_values.push_back(RegValue{valueName, type, std::move(data)});
    if (!m_valueIndex.empty())
        m_valueIndex.emplace(upcase(valueName), pos);
    else if (m_values.size() == kIndexFrom)
        indexValues();
    recordValue(m_values.back());
}

bool RegKey::removeValue(const std::u16string& valueName) {
    size_t pos = valuePosition(valueName);
    if (pos == m_values.size()) return false;
    recordValueRemoved(m_values[pos].name);
    m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(pos));
    if (!m_valueIndex.empty()) indexValues();
    return true;
}

void RegKey::clearContent() {
    for (const RegValue& v : m_values) recordValueRemoved(v.name);
    for (const auto& sub : m_subKeys) recordKeyRemoved(*sub);
    m_values.clear();
    m_valueIndex.clear();
    m_subKeys.clear();
}

void RegKey::copyContentFrom(const RegKey& other, bool markVolatile) {
    clearContent();
    for (const RegValue& v : other.m_values) setValue(v.name, v.type, v.data);
    for (const auto& sub : other.m_subKeys) {
        RegKey* copy = addSub(sub->name, markVolatile || sub->isVolatile);
        copy->copyContentFrom(*sub, markVolatile);
    }
}

bool RegKey::hasVolatileDescendant() const {
    for (const auto& sub : m_subKeys)
        if (sub->isVolatile || sub->hasVolatileDescendant()) return true;
    return false;
}

std::u16string RegKey::path() const {
    std::vector<const RegKey*> chain;
    for (const RegKey* k = this; k; k = k->m_parent) chain.push_back(k);
    std::u16string out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!out.empty()) out += u'\\';
        out += (*it)->name;
    }
    return out;
}

// ------------------------------------------------------------------ recording

void RegKey::recordSection() {
    if (m_changes->lastSection == this) return;
    m_changes->text += u"\r\n[" + path() + u"]\r\n";
    m_changes->lastSection = this;
}

void RegKey::recordValue(const RegValue& value) {
    if (!m_changes || !m_changes->recording) return;
    if (isVolatile) {
        m_changes->volatileChanged = true;
        return;
    }
    recordSection();
    appendRegValueText(m_changes->text, value);
}

void RegKey::recordValueRemoved(const std::u16string& valueName) {
    if (!m_changes || !m_changes->recording) return;
    if (isVolatile) {
        m_changes->volatileChanged = true;
        return;
    }
    recordSection();
    m_changes->text += valueNameText(valueName) + u"=-\r\n";
}

void RegKey::recordKeyRemoved(const RegKey& sub) {
    if (!m_changes || !m_changes->recording) return;
    if (sub.isVolatile || sub.hasVolatileDescendant()) m_changes->volatileChanged = true;
    if (sub.isVolatile) return;
    m_changes->text += u"\r\n[-" + sub.path() + u"]\r\n";
    m_changes->lastSection = nullptr;
}

const std::vector<std::u16string>& RegTree::machineRoots() {
    static const std::vector<std::u16string> names{u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE", u"HKEY_USERS",
                                                   u"HKEY_CURRENT_CONFIG"};
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
    return m_roots.insert(pos, std::make_unique<RegKey>(canonical, nullptr, false, &m_changes))->get();
}

RegKey* RegTree::find(const std::u16string& rootName, const std::vector<std::u16string>& path) {
    RegKey* key = root(rootName, false);
    for (size_t i = 0; key && i < path.size(); ++i) key = key->findSub(path[i]);
    return key;
}

void RegTree::startRecording() {
    m_changes = RegChanges();
    m_changes.recording = true;
}

RegChanges RegTree::takeChanges() {
    RegChanges taken = std::move(m_changes);
    m_changes = RegChanges();
    taken.recording = false;
    taken.lastSection = nullptr;
    return taken;
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

namespace {

bool startsWithBytes(const std::string& bytes, size_t from, const char* prefix) {
    size_t n = std::char_traits<char>::length(prefix);
    return bytes.size() >= from + n && bytes.compare(from, n, prefix) == 0;
}

}  // namespace

std::u16string decodeRegBytes(const std::string& bytes) {
    auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const bool littleEndian = bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE;
    if (littleEndian || (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF)) {
        std::u16string text((bytes.size() - 2) / 2, u'\0');
        const int low = littleEndian ? 0 : 1;
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(byteAt(2 + 2 * i + low) | (byteAt(3 + 2 * i - low) << 8));
        return text;
    }
    // regedit writes REGEDIT4 files in the ANSI code page and reads them so.
    if (startsWithBytes(bytes, 0, "REGEDIT4")) return fromWindows1252(bytes);
    size_t from = startsWithBytes(bytes, 0, "\xEF\xBB\xBF") ? 3 : 0;
    std::u16string text;
    if (fromUtf8Strict(bytes, from, text)) return text;
    return fromWindows1252(bytes.substr(from));
}

// ------------------------------------------------------------------ reader

namespace {

using View = std::u16string_view;

// "A registry tree can be 512 levels deep": a section naming a key further
// below its root names no key that Windows could hold.
const size_t kMostKeyLevels = 512;
// Bad lines reported one by one; the rest are only counted.
const size_t kBadLinesKept = 100;

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == 0xFEFF; }

View trim(View s) {
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool startsWithNoCase(View s, View prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t a = s[i], b = prefix[i];
        if (a >= u'a' && a <= u'z') a = static_cast<char16_t>(a - 32);
        if (b >= u'a' && b <= u'z') b = static_cast<char16_t>(b - 32);
        if (a != b) return false;
    }
    return true;
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
bool readQuoted(View s, size_t& pos, std::u16string& out) {
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

// Appends the bytes of a comma-separated hex list (a part of one: a byte may
// not span two parts); false when it is malformed.
bool parseHexBytes(View text, std::vector<BYTE>& out) {
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
    std::vector<BYTE> data(text.size() * 2 + 2, 0);
    for (size_t i = 0; i < text.size(); ++i) {
        data[2 * i] = static_cast<BYTE>(text[i] & 0xFF);
        data[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
    }
    return data;
}

// "ROOT\a\b" to its components; false for an empty or malformed path.
bool splitSectionPath(View path, std::vector<View>& parts) {
    parts.clear();
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == View::npos) end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    while (!parts.empty() && parts.back().empty()) parts.pop_back();  // trailing "\"
    if (parts.empty()) return false;
    for (View p : parts)
        if (p.empty()) return false;
    return true;
}

class RegTextParser {
public:
    RegTextParser(const std::u16string& text, RegTree& tree, bool markVolatile)
        : m_text(text), m_tree(tree), m_markVolatile(markVolatile) {}

    RegParseResult run() {
        View line;
        while (nextLine(line)) {
            View s = trim(line);
            if (s.empty() || s[0] == u';') continue;
            if (s == u"Windows Registry Editor Version 5.00" || s == u"REGEDIT4") {
                m_result.hasHeader = true;
                m_ansi = s == u"REGEDIT4";
                continue;
            }
            if (s[0] == u'[') {
                section(s);
            } else if (!m_skipSection) {
                if (!m_key)
                    bad("a value outside a section");
                else if (const char* why = value(s))
                    bad(why);
            }
        }
        return m_result;
    }

private:
    bool nextLine(View& line) {
        if (m_next > m_text.size()) return false;
        size_t end = m_text.find(u'\n', m_next);
        if (end == std::u16string::npos) end = m_text.size();
        line = View(m_text).substr(m_next, end - m_next);
        m_next = end + 1;
        ++m_lineNumber;
        return true;
    }

    void bad(const char* why) {
        ++m_result.badLines;
        if (m_result.firstBadLines.size() < kBadLinesKept) m_result.firstBadLines.push_back(RegBadLine{m_lineNumber, why});
    }

    void section(View s) {
        m_key = nullptr;
        m_skipSection = false;
        size_t close = s.rfind(u']');
        if (close == View::npos || close < 1) return bad("a section line without its closing ]");
        View inner = s.substr(1, close - 1);
        bool remove = !inner.empty() && inner[0] == u'-';
        if (remove) inner = inner.substr(1);
        if (!splitSectionPath(inner, m_parts)) return bad("a section that names no key");
        // Keys below HKEY_CLASSES_ROOT are the machine's classes, where
        // regedit's import puts keys that are new to both hives.
        static const View machineClasses[] = {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Classes"};
        if (equalNoCase(std::u16string(m_parts[0]), u"HKEY_CLASSES_ROOT") && (!remove || m_parts.size() > 1) &&
            m_tree.isAllowedRoot(u"HKEY_LOCAL_MACHINE")) {
            m_parts.erase(m_parts.begin());
            m_parts.insert(m_parts.begin(), std::begin(machineClasses), std::end(machineClasses));
        }
        const std::u16string rootName(m_parts[0]);
        if (!m_tree.isAllowedRoot(rootName)) return bad("a section below an unknown root key");
        if (m_parts.size() - 1 > kMostKeyLevels) return bad("a key deeper than the 512 levels of a registry tree");
        if (remove) {
            m_skipSection = true;  // regedit ignores values under a deleted key
            if (m_parts.size() == 1) return bad("a root key cannot be deleted");
            m_chain.clear();  // the keys of the last section may be gone
            std::vector<std::u16string> parentPath(m_parts.begin() + 1, m_parts.end() - 1);
            if (RegKey* parent = m_tree.find(rootName, parentPath)) parent->removeSub(std::u16string(m_parts.back()));
            return;
        }
        // Sections of an export come in tree order: the keys the last section
        // shares with this one need not be looked up again.
        size_t shared = 0;
        while (shared < m_chain.size() && shared < m_parts.size() && m_chainNames[shared] == m_parts[shared]) ++shared;
        m_chain.resize(shared);
        m_chainNames.resize(shared);
        for (size_t i = shared; i < m_parts.size(); ++i) {
            std::u16string part(m_parts[i]);
            RegKey* key;
            if (i == 0) {
                key = m_tree.root(part, true);
            } else {
                key = m_chain.back()->findSub(part);
                if (!key) key = m_chain.back()->addSub(part, m_markVolatile);
            }
            m_chain.push_back(key);
            m_chainNames.push_back(std::move(part));
        }
        m_key = m_chain.back();
        if (m_markVolatile) m_key->isVolatile = true;
    }

    // Null when the line was a value; else why it was not understood.
    const char* value(View s) {
        size_t pos = 0;
        if (s[0] == u'@') {
            pos = 1;
            m_name.clear();
        } else if (s[0] != u'"') {
            return "not a value line (\"name\"=data or @=data)";
        } else if (!readQuoted(s, pos, m_name)) {
            return "a value name without its closing quote";
        }
        while (pos < s.size() && isSpace(s[pos])) ++pos;
        if (pos >= s.size() || s[pos] != u'=') return "a value name without = after it";
        View data = trim(s.substr(pos + 1));
        if (data == u"-") {
            m_key->removeValue(m_name);
            return nullptr;
        }
        if (!data.empty() && data[0] == u'"') {
            size_t p = 0;
            std::u16string text;
            if (!readQuoted(data, p, text)) return "a text without its closing quote (a text is one line)";
            if (!trim(data.substr(p)).empty()) return "more after the closing quote of a text";
            m_key->setValue(m_name, REG_SZ, textData(text));
            return nullptr;
        }
        if (startsWithNoCase(data, u"dword:")) {
            View digits = trim(data.substr(6));
            if (digits.empty() || digits.size() > 8) return "a dword that is not 1 to 8 hex digits";
            DWORD number = 0;
            for (char16_t c : digits) {
                int d = hexDigit(c);
                if (d < 0) return "a dword that is not 1 to 8 hex digits";
                number = number * 16 + static_cast<DWORD>(d);
            }
            m_key->setValue(m_name, REG_DWORD,
                            {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
                             static_cast<BYTE>(number >> 24)});
            return nullptr;
        }
        if (startsWithNoCase(data, u"hex")) return hexValue(data);
        return "data that is not a text, dword: or hex list";
    }

    const char* hexValue(View data) {
        size_t pos = 3;
        DWORD type = REG_BINARY;
        if (pos < data.size() && data[pos] == u'(') {
            size_t close = data.find(u')', pos);
            if (close == View::npos || close == pos + 1 || close - pos - 1 > 8) return "a hex type that is not hex(1 to 8 hex digits)";
            type = 0;
            for (size_t i = pos + 1; i < close; ++i) {
                int d = hexDigit(data[i]);
                if (d < 0) return "a hex type that is not hex(1 to 8 hex digits)";
                type = type * 16 + static_cast<DWORD>(d);
            }
            pos = close + 1;
        }
        if (pos >= data.size() || data[pos] != u':') return "hex without : before its bytes";
        std::vector<BYTE> bytes;
        View list = trim(data.substr(pos + 1));
        bool ok = true;
        // A list ending in "\" continues on the next line.
        for (;;) {
            bool more = !list.empty() && list.back() == u'\\';
            if (more) list.remove_suffix(1);
            ok = parseHexBytes(list, bytes) && ok;
            View next;
            if (!more || !nextLine(next)) break;
            list = trim(next);
        }
        if (!ok) return "a hex list that is not bytes of two hex digits separated by commas";
        if (m_ansi && (type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) {
            // REGEDIT4 holds these as ANSI bytes; the registry holds UTF-16.
            std::string wide = utf16leBytes(fromWindows1252(std::string(bytes.begin(), bytes.end())));
            bytes.assign(wide.begin(), wide.end());
        }
        m_key->setValue(m_name, type, std::move(bytes));
        return nullptr;
    }

    const std::u16string& m_text;
    RegTree& m_tree;
    bool m_markVolatile;
    bool m_ansi = false;
    size_t m_next = 0;
    size_t m_lineNumber = 0;
    RegKey* m_key = nullptr;
    bool m_skipSection = false;
    std::vector<View> m_parts;
    std::vector<RegKey*> m_chain;             // the keys of the last section, root first
    std::vector<std::u16string> m_chainNames;  // their names as that section spelt them
    std::u16string m_name;
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

}  // namespace

std::u16string valueNameText(const std::u16string& valueName) {
    return valueName.empty() ? std::u16string(u"@") : u"\"" + escaped(valueName) + u"\"";
}

void appendRegValueText(std::u16string& out, const RegValue& v) {
    std::u16string line = valueNameText(v.name) + u'=';
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

namespace {

void appendKey(std::u16string& out, const RegKey& key, const std::u16string& path, bool isRoot, bool volatilePart) {
    if (!volatilePart && key.isVolatile) return;  // volatile keys never reach the file
    bool include = volatilePart ? key.isVolatile : !(isRoot && key.values().empty());
    if (include) {
        out += u'[';
        out += path;
        out += u"]\r\n";
        for (const RegValue& v : key.values()) appendRegValueText(out, v);
        out += u"\r\n";
    }
    for (const auto& sub : key.subKeys()) appendKey(out, *sub, path + u"\\" + sub->name, false, volatilePart);
}

}  // namespace

std::u16string formatRegText(const RegTree& tree, bool volatilePart) {
    std::u16string out = u"Windows Registry Editor Version 5.00\r\n\r\n";
    for (const auto& r : tree.roots()) appendKey(out, *r, r->name, true, volatilePart);
    return out;
}

std::string utf16leBytes(const std::u16string& text) {
    std::string bytes(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

std::string formatRegFile(const RegTree& tree, bool volatilePart) {
    return "\xFF\xFE" + utf16leBytes(formatRegText(tree, volatilePart));
}

}  // namespace plxsim
