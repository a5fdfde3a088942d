// The registry tree of the simulated machine and its text form, regedit's
// "Windows Registry Editor Version 5.00" .reg files.
#ifndef PLX_REG_FILE_H
#define PLX_REG_FILE_H

#include "plx_win32.h"

#include <memory>
#include <string>
#include <vector>

namespace plxsim {

struct RegValue {
    std::u16string name;  // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// One key: names compare case-insensitively and keep their case; sub keys are
// kept in Windows' enumeration order (by upper-cased name), values in creation
// order.
class RegKey {
public:
    explicit RegKey(std::u16string keyName, bool bVolatile = false) : name(std::move(keyName)), isVolatile(bVolatile) {}

    RegKey* findSub(const std::u16string& subName) const;
    // Inserts a new, empty sub key at its sorted place; the name must be new.
    RegKey* addSub(const std::u16string& subName, bool bVolatile);
    bool removeSub(const std::u16string& subName);

    RegValue* findValue(const std::u16string& valueName);
    void setValue(const std::u16string& valueName, DWORD type, std::vector<BYTE> data);
    bool removeValue(const std::u16string& valueName);

    // Copies of this key's values and sub keys (not its name or volatility).
    void copyContentFrom(const RegKey& other, bool markVolatile);
    bool hasVolatileDescendant() const;

    std::u16string name;
    bool isVolatile;
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegKey>> subKeys;
};

// A set of named root keys ("HKEY_LOCAL_MACHINE" ...).
class RegTree {
public:
    RegTree() = default;
    RegTree(const RegTree&) = delete;
    RegTree& operator=(const RegTree&) = delete;

    // The five predefined roots of a machine.
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

private:
    std::vector<std::u16string> m_allowed;
    std::vector<std::unique_ptr<RegKey>> m_roots;
};

// Splits "a\b\c" into its components (empty text gives none).
std::vector<std::u16string> splitKeyPath(const std::u16string& path);

// File bytes to text: UTF-16LE with BOM, UTF-8 with or without BOM (bytes that
// are not UTF-8 are read as Latin-1, as in ANSI REGEDIT4 exports).
std::u16string decodeRegBytes(const std::string& bytes);

struct RegParseResult {
    bool hasHeader = false;  // a "Windows Registry Editor Version 5.00" or "REGEDIT4" line
    unsigned badLines = 0;   // lines that were not understood and were skipped
};

// Applies .reg text to the tree: sections create keys (and their parents),
// "[-...]" deletes a key, "x"=- deletes a value.  Keys named by sections are
// marked volatile when markVolatile is set (keys that exist keep their flag
// otherwise).
RegParseResult parseRegText(const std::u16string& text, RegTree& tree, bool markVolatile);

// The tree in regedit's layout: the non-volatile keys (volatilePart false) or
// only the volatile ones (volatilePart true).  UTF-16LE with BOM, CRLF.
std::string formatRegFile(const RegTree& tree, bool volatilePart);
// The same as text (no BOM) for tests and the file writer.
std::u16string formatRegText(const RegTree& tree, bool volatilePart);

}  // namespace plxsim

#endif
