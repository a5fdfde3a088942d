// One registry key: a predefined root plus a sub key path, with the access
// mask and creation options to use on it.  The object is a descriptor more
// than a handle: every operation opens the key when it is not open and closes
// it again before returning, except open() itself and enumSubKeys(), which
// leave it open.  Failures are reported to the log and answered with false;
// only the constructor throws (CPLXRegKeyInitException).
#ifndef PLX_REGISTRY_KEY_H
#define PLX_REGISTRY_KEY_H

#include "plx_win32.h"
#include "plx_dbllist.h"
#include "plx_registry_valent.h"
#include "plx_wchar_string.h"

// exportKey/importKey flag values that select the registry text format
// instead of the platform's binary hive format.
#define PLX_REG_EXPORT_TEXT 8
#define PLX_REG_IMPORT_TEXT 16

class CPLXRegistryKey {
public:
    // Root null, empty path, KEY_ALL_ACCESS, options 0, no create, closed.
    CPLXRegistryKey();
    // Stores the arguments; nothing is opened.  Throws CPLXRegKeyInitException
    // when the path cannot be copied.
    CPLXRegistryKey(HKEY hRootKey, const CPLXWCharString& keyPath, REGSAM samDesired, bool bCreate = false,
                    DWORD dwOptions = 0);
    // Copies the descriptor; the copy is closed.
    CPLXRegistryKey(const CPLXRegistryKey& other);
    // Closes this key, then copies root, mask, options, create flag and path.
    CPLXRegistryKey& operator=(const CPLXRegistryKey& other);
    ~CPLXRegistryKey();

    // Whether the key can be opened (creates a missing key when bCreate is set).
    virtual bool exists();
    // dwFlags PLX_REG_EXPORT_TEXT selects the text format; any other value the
    // binary hive format (RegSaveKeyW with SeBackupPrivilege enabled).
    virtual bool exportKey(const CPLXWCharString& szExportFileName, DWORD dwFlags, bool bOverwrite);
    // dwFlags PLX_REG_IMPORT_TEXT selects the text format; any other value is
    // passed to RegRestoreKeyW (with SeRestorePrivilege enabled).
    virtual bool importKey(const CPLXWCharString& szImportFileName, DWORD dwFlags);

    bool open();
    bool close();
    // Creates the key (or opens an existing one) and closes it again.
    bool create();
    // Closes the key, then replaces the access mask (e.g. to add a view flag).
    void setAccess(REGSAM samDesired);

    // The whole path, or its last component.  False for a path without "\"
    // when the last component is asked for.
    bool getKeyName(CPLXWCharString& out, bool bFullPath) const;

    bool getMaxSubKeyLength(ULONG& ulLen);     // characters, no terminator
    bool getMaxValueNameLength(ULONG& ulLen);  // characters, no terminator
    bool getMaxValueDataLength(ULONG& ulLen);  // bytes

    // subKey becomes sub key number dwIndex; false at the end (unreported) or
    // on an error (reported).  Leaves this key open.
    bool enumSubKeys(CPLXRegistryKey& subKey, DWORD dwIndex);
    // Names of all sub keys, tags 1, 2, 3, ...  Leaves this key open.
    bool enumSubKeys(CPLXDblList<CPLXWCharString>& list);
    // Names of all named values, tag 0; false when there is none.
    bool enumValueNames(CPLXDblList<CPLXWCharString>& list);
    // Every named value with type and data, tags 0, 1, 2, ...
    bool queryMultipleValues(CPLXDblList<CPLXRegistryValent>& list);

    bool isOpen() const { return m_bOpen; }
    HKEY getRootKey() const { return m_hRootKey; }
    REGSAM getAccess() const { return m_samDesired; }
    // Windows error of the last RegOpenKeyExW of open(), ERROR_SUCCESS after a
    // successful one.
    LONG getLastOpenError() const { return m_lLastOpenError; }

protected:
    // Closes the key when leaving the scope of an operation.
    class CCloseOnExit {
    public:
        explicit CCloseOnExit(CPLXRegistryKey& key) : m_key(key) {}
        ~CCloseOnExit() { m_key.close(); }
        CCloseOnExit(const CCloseOnExit&) = delete;
        CCloseOnExit& operator=(const CCloseOnExit&) = delete;

    private:
        CPLXRegistryKey& m_key;
    };

    // Opens the key unless it is open already.
    bool ensureOpen() { return m_bOpen || open(); }
    // The path for reports; null (shown as "Unknown") when there is none.
    LPCWSTR reportPath() const;

    CPLXWCharString m_szKeyPath;
    REGSAM m_samDesired;
    DWORD m_dwOptions;
    HKEY m_hKey;
    bool m_bCreate;
    bool m_bOpen;
    HKEY m_hRootKey;

private:
    enum EInfoFigure { ifMaxSubKeyLength, ifMaxValueNameLength, ifMaxValueDataLength };
    bool queryInfoFigure(EInfoFigure figure, ULONG& ulLen);
    // The name of sub key number dwIndex; the enumeration part of enumSubKeys.
    bool enumSubKeyName(DWORD dwIndex, CPLXWCharString& name);
    void copyDescriptor(const CPLXRegistryKey& other);
    bool saveKey(const CPLXWCharString& szFileName, bool bOverwrite);
    bool restoreKey(const CPLXWCharString& szFileName, DWORD dwFlags);
    bool enablePrivilege(LPCWSTR szPrivilege);

    LONG m_lLastOpenError;
};

#endif
