// Registry tree, the tree side of the .reg reader (plx_reg_text.h) and the .reg writer.
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

// ------------------------------------------------------------------ reader

namespace {

// "A registry tree can be 512 levels deep": a section naming a key further
// below its root names no key that Windows could hold.
const size_t kMostKeyLevels = 512;

// What the lines of a .reg text say, applied to a tree.
class TreeSink : public plxtext::RegTextSink {
public:
    TreeSink(RegTree& tree, bool markVolatile) : m_tree(tree), m_markVolatile(markVolatile) {}

    const char* section(std::vector<std::u16string_view>& parts, bool remove, bool& skipValues) override {
        m_key = nullptr;
        // Keys below HKEY_CLASSES_ROOT are the machine's classes, where
        // regedit's import puts keys that are new to both hives.
        static const std::u16string_view machineClasses[] = {u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"Classes"};
        if (equalNoCase(std::u16string(parts[0]), u"HKEY_CLASSES_ROOT") && (!remove || parts.size() > 1) &&
            m_tree.isAllowedRoot(u"HKEY_LOCAL_MACHINE")) {
            parts.erase(parts.begin());
            parts.insert(parts.begin(), std::begin(machineClasses), std::end(machineClasses));
        }
        const std::u16string rootName(parts[0]);
        if (!m_tree.isAllowedRoot(rootName)) return "a section below an unknown root key";
        if (parts.size() - 1 > kMostKeyLevels) return "a key deeper than the 512 levels of a registry tree";
        if (remove) {
            skipValues = true;  // regedit ignores values under a deleted key
            if (parts.size() == 1) return "a root key cannot be deleted";
            m_chain.clear();  // the keys of the last section may be gone
            std::vector<std::u16string> parentPath(parts.begin() + 1, parts.end() - 1);
            if (RegKey* parent = m_tree.find(rootName, parentPath)) parent->removeSub(std::u16string(parts.back()));
            return nullptr;
        }
        // Sections of an export come in tree order: the keys the last section
        // shares with this one need not be looked up again.
        size_t shared = 0;
        while (shared < m_chain.size() && shared < parts.size() && m_chainNames[shared] == parts[shared]) ++shared;
        m_chain.resize(shared);
        m_chainNames.resize(shared);
        for (size_t i = shared; i < parts.size(); ++i) {
            std::u16string part(parts[i]);
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
        return nullptr;
    }

    void setValue(const std::u16string& name, uint32_t type, std::vector<uint8_t> data) override {
        m_key->setValue(name, type, std::move(data));
    }

    void removeValue(const std::u16string& name) override { m_key->removeValue(name); }

private:
    RegTree& m_tree;
    bool m_markVolatile;
    RegKey* m_key = nullptr;
    std::vector<RegKey*> m_chain;              // the keys of the last section, root first
    std::vector<std::u16string> m_chainNames;  // their names as that section spelt them
};

}  // namespace

RegParseResult parseRegText(const std::u16string& text, RegTree& tree, bool markVolatile) {
    TreeSink sink(tree, markVolatile);
    return plxtext::readRegText(text, sink);
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

std::string formatRegFile(const RegTree& tree, bool volatilePart) {
    return "\xFF\xFE" + utf16leBytes(formatRegText(tree, volatilePart));
}

}  // namespace plxsim
