// The registry tree of the simulated machine and its text form, regedit's
// "Windows Registry Editor Version 5.00" .reg files.
#ifndef PLX_REG_FILE_H
#define PLX_REG_FILE_H

#include "plx_reg_text.h"
#include "plx_text_codec.h"
#include "plx_win32.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace plxsim {

struct RegValue {
    std::u16string name;  // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// The changes made to a tree while it records, as .reg text that replays
// them: "[key]" creates a key, "[-key]" deletes one, "name"=... sets a value
// and "name"=- deletes it.  Changes to volatile keys are not written out;
// volatileChanged says that there were some.
struct RegChanges {
    bool recording = false;
    std::u16string text;
    bool volatileChanged = false;
    const class RegKey* lastSection = nullptr;  // key of the last "[...]" line in text
};

// One key: names compare case-insensitively and keep their case; sub keys are
// kept in Windows' enumeration order (by upper-cased name), values in creation
// order.  Both are found without a scan: sub keys by a binary search, the
// values of a key with many of them through an index.
class RegKey {
public:
    RegKey(std::u16string keyName, RegKey* parent, bool bVolatile, RegChanges* changes);
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    RegKey* findSub(const std::u16string& subName) const;
    // Inserts a new, empty sub key at its sorted place; the name must be new.
    RegKey* addSub(const std::u16string& subName, bool bVolatile);
    bool removeSub(const std::u16string& subName);
    const std::vector<std::unique_ptr<RegKey>>& subKeys() const { return m_subKeys; }

    RegValue* findValue(const std::u16string& valueName);
    // Setting a value to the type and data it has is no change.
    void setValue(const std::u16string& valueName, DWORD type, std::vector<BYTE> data);
    bool removeValue(const std::u16string& valueName);
    const std::vector<RegValue>& values() const { return m_values; }

    // Removes every value and sub key.
    void clearContent();
    // Copies of this key's values and sub keys (not its name or volatility).
    void copyContentFrom(const RegKey& other, bool markVolatile);
    bool hasVolatileDescendant() const;
    // "ROOT\a\b", as a section line names the key.
    std::u16string path() const;
    const std::u16string& sortKey() const { return m_upper; }

    const std::u16string name;
    bool isVolatile;

private:
    static const size_t kIndexFrom = 16;                      // values a key holds before they are indexed
    size_t subPosition(const std::u16string& subName) const;  // m_subKeys.size() when missing
    size_t valuePosition(const std::u16string& valueName) const;
    void indexValues();
    void recordSection();
    void recordValue(const RegValue& value);
    void recordValueRemoved(const std::u16string& valueName);
    void recordKeyRemoved(const RegKey& sub);

    const std::u16string m_upper;  // the name upper-cased, the sort key
    RegKey* const m_parent;
    RegChanges* const m_changes;
    std::vector<RegValue> m_values;
    std::unordered_map<std::u16string, size_t> m_valueIndex;  // upper-cased name -> position, once indexed
    std::vector<std::unique_ptr<RegKey>> m_subKeys;
};

// A set of named root keys ("HKEY_LOCAL_MACHINE" ...).
class RegTree {
public:
    RegTree() = default;
    RegTree(const RegTree&) = delete;
    RegTree& operator=(const RegTree&) = delete;

    // The roots of a machine's hives: the predefined keys but for
    // HKEY_CLASSES_ROOT, a view of two hives' classes.  A file's keys below
    // HKEY_CLASSES_ROOT are read as the machine's, HKLM\SOFTWARE\Classes.
    static const std::vector<std::u16string>& machineRoots();

    // Roots are created on demand, but only those named in allowed (empty
    // allows any name).
    void allowRoots(std::vector<std::u16string> names) { m_allowed = std::move(names); }
    bool isAllowedRoot(const std::u16string& rootName) const;
    RegKey* root(const std::u16string& rootName, bool create);
    const std::vector<std::unique_ptr<RegKey>>& roots() const { return m_roots; }
    void clear() { m_roots.clear(); }

    // Key at a path of components below a root; null when any part is missing.
    RegKey* find(const std::u16string& rootName, const std::vector<std::u16string>& path);

    // From now on every change is recorded, until takeChanges hands them over.
    void startRecording();
    RegChanges takeChanges();

private:
    std::vector<std::u16string> m_allowed;
    std::vector<std::unique_ptr<RegKey>> m_roots;
    RegChanges m_changes;
};

// Splits "a\b\c" into its components (empty text gives none).
std::vector<std::u16string> splitKeyPath(const std::u16string& path);

// The .reg text reader (plx_reg_text.h) and the codec, as the machine uses them.
using plxtext::decodeRegBytes;
using plxtext::RegBadLine;
using plxtext::RegParseResult;
using plxtext::utf16leBytes;

// Applies .reg text to the tree through plxtext::readRegText: sections create
// keys (and their parents), "[-...]" deletes a key, "x"=- deletes a value.
// Keys below HKEY_CLASSES_ROOT go to HKLM\SOFTWARE\Classes; roots the tree
// does not allow and keys deeper than 512 levels are bad lines.  Keys named by
// sections are marked volatile when markVolatile is set (keys that exist keep
// their flag otherwise).
RegParseResult parseRegText(const std::u16string& text, RegTree& tree, bool markVolatile);

// The tree in regedit's layout: the non-volatile keys (volatilePart false) or
// only the volatile ones (volatilePart true).  UTF-16LE with BOM, CRLF.
std::string formatRegFile(const RegTree& tree, bool volatilePart);
// The same as text (no BOM) for tests and the file writer.
std::u16string formatRegText(const RegTree& tree, bool volatilePart);
// One value as its line (or lines) of a section, CRLF included.
void appendRegValueText(std::u16string& out, const RegValue& value);
// A value's name as a line names it: @ for the default value, else quoted.
std::u16string valueNameText(const std::u16string& valueName);

}  // namespace plxsim

#endif
