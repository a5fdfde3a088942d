#include "plx_registry_key.h"

#include "plx_registry_file.h"

#include <new>

#include "plx_handlers.h"
#include "plx_log_debug.h"
#include "plx_scoped_handle.h"
#include "plx_windowsprocess.h"

namespace {

// Frees the name copies and the entry array of queryMultipleValues.
class CValentArray {
public:
    explicit CValentArray(ULONG ulCount) : m_pValent(nullptr), m_ulCount(0) {
        // Beyond this count the array's byte size no longer fits 32 bits.
        if (ulCount >= 0x10000000) return;
        m_pValent = new (std::nothrow) VALENTW[ulCount]();
        if (m_pValent) m_ulCount = ulCount;
    }
    ~CValentArray() {
        if (!m_pValent) return;
        try {
            for (ULONG i = 0; i < m_ulCount; ++i) {
                delete[] m_pValent[i].ve_valuename;
                m_pValent[i].ve_valuename = nullptr;
            }
            delete[] m_pValent;
        } catch (...) {
            CMemDestroyFailWarning(TEXT("pValent"), PLX_SRC, PLX_LOG_NOW);
        }
    }
    CValentArray(const CValentArray&) = delete;
    CValentArray& operator=(const CValentArray&) = delete;

    VALENTW* get() const { return m_pValent; }

private:
    VALENTW* m_pValent;
    ULONG m_ulCount;
};

LPWSTR toWide(unsigned short* p) { return reinterpret_cast<LPWSTR>(p); }

}  // namespace

// ---------------------------------------------------------------- construction

CPLXRegistryKey::CPLXRegistryKey()
    : m_samDesired(KEY_ALL_ACCESS),
      m_dwOptions(0),
      m_hKey(nullptr),
      m_bCreate(false),
      m_bOpen(false),
      m_hRootKey(nullptr),
      m_lLastOpenError(ERROR_SUCCESS) {}

CPLXRegistryKey::CPLXRegistryKey(HKEY hRootKey, const CPLXWCharString& keyPath, REGSAM samDesired, bool bCreate,
                                 DWORD dwOptions)
    : m_samDesired(samDesired),
      m_dwOptions(dwOptions),
      m_hKey(nullptr),
      m_bCreate(bCreate),
      m_bOpen(false),
      m_hRootKey(hRootKey),
      m_lLastOpenError(ERROR_SUCCESS) {
    try {
        m_szKeyPath = keyPath;
    }
    PLX_CATCH_THROW(CPLXRegKeyInitException(PLX_SRC, PLX_LOG_NOW))
}

CPLXRegistryKey::CPLXRegistryKey(const CPLXRegistryKey& other) : CPLXRegistryKey() {
    try {
        copyDescriptor(other);
    }
    PLX_CATCH_THROW(CPLXRegKeyInitException(PLX_SRC, PLX_LOG_NOW))
}

CPLXRegistryKey& CPLXRegistryKey::operator=(const CPLXRegistryKey& other) {
    try {
        // Closed afterwards even when assigned to itself.
        close();
        if (this != &other) copyDescriptor(other);
    }
    PLX_CATCH_RETURN(*this)
    return *this;
}

void CPLXRegistryKey::copyDescriptor(const CPLXRegistryKey& other) {
    m_hRootKey = other.m_hRootKey;
    m_samDesired = other.m_samDesired;
    m_dwOptions = other.m_dwOptions;
    m_bCreate = other.m_bCreate;
    m_szKeyPath = other.m_szKeyPath;
}

CPLXRegistryKey::~CPLXRegistryKey() {
    try {
        close();
    }
    PLX_CATCH_ALL_SWALLOW
}

LPCWSTR CPLXRegistryKey::reportPath() const { return m_szKeyPath.isValid() ? m_szKeyPath.c_str() : nullptr; }

// ---------------------------------------------------------------- open, close, create

bool CPLXRegistryKey::open() {
    try {
        if (m_bOpen) {
            CPLXRegKeyAlreadyOpenWarning(reportPath(), TEXT("CPLXRegistryKey"), TEXT("open"), PLX_SRC, PLX_LOG_NOW);
            // A handle that cannot be closed must not be overwritten.
            if (!close()) return false;
        }
        HKEY hKey = nullptr;
        LONG lResult = RegOpenKeyExW(m_hRootKey, m_szKeyPath.c_str(), 0, m_samDesired, &hKey);
        if ((lResult == ERROR_FILE_NOT_FOUND || lResult == ERROR_INVALID_HANDLE) && m_bCreate && create()) {
            hKey = nullptr;
            lResult = RegOpenKeyExW(m_hRootKey, m_szKeyPath.c_str(), 0, m_samDesired, &hKey);
        }
        m_lLastOpenError = lResult;
        if (lResult != ERROR_SUCCESS) return false;
        m_hKey = hKey;
        m_bOpen = true;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryKey::close() {
    try {
        if (!m_bOpen) return true;
        LONG lResult = RegCloseKey(m_hKey);
        if (lResult != ERROR_SUCCESS) {
            throw CPLXRegCloseKeyWarning(reportPath(), static_cast<ULONG>(lResult), TEXT("CPLXRegistryKey"),
                                         TEXT("close"), PLX_SRC, PLX_LOG_NOW);
        }
        m_hKey = nullptr;
        m_bOpen = false;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryKey::create() {
    try {
        if (!close()) return false;
        CPLXScopedRegKey key;
        LONG lResult = RegCreateKeyExW(m_hRootKey, m_szKeyPath.c_str(), 0, nullptr, m_dwOptions, m_samDesired, nullptr,
                                       key.out(), nullptr);
        if (lResult != ERROR_SUCCESS) {
            throw CPLXRegKeyCreateException(reportPath(), static_cast<ULONG>(lResult), TEXT("CPLXRegistryKey"),
                                            TEXT("create"), PLX_SRC, PLX_LOG_NOW);
        }
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryKey::exists() {
    try {
        bool bResult = open();
        close();
        return bResult;
    }
    PLX_CATCH_RETURN(false)
}

void CPLXRegistryKey::setAccess(REGSAM samDesired) {
    close();
    m_samDesired = samDesired;
}

bool CPLXRegistryKey::getKeyName(CPLXWCharString& out, bool bFullPath) const {
    try {
        if (bFullPath) {
            out = m_szKeyPath;
            return true;
        }
        CPLXWCharString name;
        if (!m_szKeyPath.parse(name, CPLXWCharString(TEXT("\\")), 1, pmFromEnd, false)) return false;
        out = name;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

// ---------------------------------------------------------------- information

bool CPLXRegistryKey::queryInfoFigure(EInfoFigure figure, ULONG& ulLen) {
    try {
        CCloseOnExit closer(*this);
        if (!ensureOpen()) return false;
        DWORD dwValue = 0;
        LONG lResult = RegQueryInfoKeyW(m_hKey, nullptr, nullptr, nullptr, nullptr,
                                        figure == ifMaxSubKeyLength ? &dwValue : nullptr, nullptr, nullptr,
                                        figure == ifMaxValueNameLength ? &dwValue : nullptr,
                                        figure == ifMaxValueDataLength ? &dwValue : nullptr, nullptr, nullptr);
        if (lResult != ERROR_SUCCESS) {
            throw CPLXRegQueryInfoKeyException(reportPath(), static_cast<ULONG>(lResult), PLX_SRC, PLX_LOG_NOW);
        }
        ulLen = dwValue;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryKey::getMaxSubKeyLength(ULONG& ulLen) { return queryInfoFigure(ifMaxSubKeyLength, ulLen); }

bool CPLXRegistryKey::getMaxValueNameLength(ULONG& ulLen) { return queryInfoFigure(ifMaxValueNameLength, ulLen); }

bool CPLXRegistryKey::getMaxValueDataLength(ULONG& ulLen) { return queryInfoFigure(ifMaxValueDataLength, ulLen); }

// ---------------------------------------------------------------- enumeration

bool CPLXRegistryKey::enumSubKeyName(DWORD dwIndex, CPLXWCharString& name) {
    ULONG ulMax = 0;
    getMaxSubKeyLength(ulMax);
    // A key that cannot be opened leaves the handle null; the enumeration then
    // fails and is reported like any other enumeration error.
    if (!m_bOpen) open();
    CPLXBuffer<unsigned short> buffer(ulMax + 1);
    DWORD dwSize = ulMax + 1;
    LONG lResult =
        RegEnumKeyExW(m_hKey, dwIndex, toWide(buffer.getBuffer()), &dwSize, nullptr, nullptr, nullptr, nullptr);
    if (lResult == ERROR_NO_MORE_ITEMS) return false;
    if (lResult != ERROR_SUCCESS) {
        throw CPLXRegEnumKeyException(reportPath(), static_cast<ULONG>(lResult), TEXT("CPLXRegistrykey"),
                                      TEXT("enumSubKeys"), PLX_SRC, PLX_LOG_NOW);
    }
    name = buffer;
    return true;
}

bool CPLXRegistryKey::enumSubKeys(CPLXRegistryKey& subKey, DWORD dwIndex) {
    try {
        CPLXWCharString name;
        if (!enumSubKeyName(dwIndex, name)) return false;
        // Below a root itself the sub key's path is its bare name.
        CPLXWCharString path = m_szKeyPath.isValid() ? m_szKeyPath + CPLXWCharString(TEXT("\\")) + name : name;
        subKey = CPLXRegistryKey(m_hRootKey, path, m_samDesired, false, m_dwOptions);
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryKey::enumSubKeys(CPLXDblList<CPLXWCharString>& list) {
    try {
        list.removeAll();
        ULONG ulEnumerated = 0;
        for (DWORD i = 0;; ++i) {
            CPLXWCharString name;
            if (!enumSubKeyName(i, name)) break;
            ++ulEnumerated;
            if (!name.isValid() || !list.add(name, static_cast<LONG>(i + 1))) break;
        }
        return list.getCount() == ulEnumerated;
    } catch (CPLXLogging& e) {
        // An enumeration error ends the walk with the names gathered so far.
        plxReportCaught(e);
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXRegistryKey::enumValueNames(CPLXDblList<CPLXWCharString>& list) {
    try {
        CCloseOnExit closer(*this);
        list.removeAll();
        ULONG ulMax = 0;
        getMaxValueNameLength(ulMax);
        if (!ensureOpen()) return false;
        for (DWORD dwIndex = 0;; ++dwIndex) {
            CPLXBuffer<unsigned short> buffer(ulMax + 1);
            DWORD dwSize = ulMax + 1;
            LONG lResult =
                RegEnumValueW(m_hKey, dwIndex, toWide(buffer.getBuffer()), &dwSize, nullptr, nullptr, nullptr, nullptr);
            if (lResult == ERROR_NO_MORE_ITEMS) break;
            if (lResult != ERROR_SUCCESS) {
                throw CPLXRegEnumValueException(reportPath(), static_cast<ULONG>(lResult), TEXT("CPLXRegistrykey"),
                                                TEXT("enumValueNames"), PLX_SRC, PLX_LOG_NOW);
            }
            CPLXWCharString name(buffer);
            // The unnamed default value is not listed.
            if (name.isValid()) list.add(name, 0);
        }
        return list.getCount() > 0;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXRegistryKey::queryMultipleValues(CPLXDblList<CPLXRegistryValent>& list) {
    try {
        CCloseOnExit closer(*this);
        CPLXDblList<CPLXWCharString> names;
        if (!enumValueNames(names)) return false;
        ULONG ulMaxData = 0;
        if (!getMaxValueDataLength(ulMaxData)) return false;

        const ULONG ulCount = names.getCount();
        CValentArray valents(ulCount);
        VALENTW* pValent = valents.get();
        if (!pValent) throw CPLXMemAllocException(TEXT("pValent"), PLX_SRC, PLX_LOG_NOW);

        names.moveFirst();
        for (ULONG i = 0; i < ulCount; ++i, names.moveNext()) {
            CPLXWCharString name;
            names.getCurrent(name);
            const ULONG ulElems = name.getNumElems();
            WCHAR* pName = new (std::nothrow) WCHAR[ulElems ? ulElems : 1]();
            if (!pName) {
                CPLXLogDebug(TEXT("pValent.ve_valuename = NULL"), 0, nullptr, nullptr, PLX_SRC, PLX_LOG_NOW);
                continue;
            }
            for (ULONG c = 0; c < ulElems; ++c) pName[c] = static_cast<WCHAR>(name[c]);
            pValent[i].ve_valuename = pName;
        }

        // Room for every value at the largest size, in wide characters.
        const ULONGLONG ullElems = static_cast<ULONGLONG>(ulCount) * (static_cast<ULONGLONG>(ulMaxData) + 1);
        if (ullElems * 2 > 0xFFFFFFFFull) throw CPLXMemAllocException(TEXT("lpValueBuf"), PLX_SRC, PLX_LOG_NOW);
        CPLXBuffer<unsigned short> valueBuffer(static_cast<ULONG>(ullElems));
        DWORD dwTotalSize = static_cast<DWORD>(ullElems * 2);

        if (!ensureOpen()) return false;
        LONG lResult = RegQueryMultipleValuesW(m_hKey, pValent, ulCount, toWide(valueBuffer.getBuffer()), &dwTotalSize);
        if (lResult != ERROR_SUCCESS) {
            throw CPLXRegQueryMultipleValuesException(reportPath(), static_cast<ULONG>(lResult), PLX_SRC, PLX_LOG_NOW);
        }
        list.removeAll();
        for (ULONG i = 0; i < ulCount; ++i) list.add(CPLXRegistryValent(pValent[i]), static_cast<LONG>(i));
        return true;
    }
    PLX_CATCH_RETURN(false)
}

// ---------------------------------------------------------------- save and restore

bool CPLXRegistryKey::enablePrivilege(LPCWSTR szPrivilege) {
    CPLXWindowsProcess process;
    HANDLE hToken = nullptr;
    return process.setPrivilege(CPLXWCharString(szPrivilege), true, hToken);
}

bool CPLXRegistryKey::exportKey(const CPLXWCharString& szExportFileName, DWORD dwFlags, bool bOverwrite) {
    try {
        CCloseOnExit closer(*this);
        if (!szExportFileName.isValid()) {
            throw CPLXBadArgException(TEXT("szExportFileName"), TEXT("filename must be non-null"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        if (dwFlags == PLX_REG_EXPORT_TEXT) {
            return CPLXRegistryFile(szExportFileName).saveKey(m_hRootKey, m_szKeyPath, bOverwrite);
        }
        return saveKey(szExportFileName, bOverwrite);
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryKey::saveKey(const CPLXWCharString& szFileName, bool bOverwrite) {
    if (bOverwrite) DeleteFileW(szFileName.c_str());
    // The privilege stays enabled afterwards.
    if (!enablePrivilege(TEXT("SeBackupPrivilege"))) return false;
    if (!ensureOpen()) return false;
    LONG lResult = RegSaveKeyW(m_hKey, szFileName.c_str(), nullptr);
    if (lResult != ERROR_SUCCESS) {
        throw CPLXRegSaveKeyException(reportPath(), static_cast<ULONG>(lResult), nullptr, nullptr, PLX_SRC,
                                      PLX_LOG_NOW);
    }
    return true;
}

bool CPLXRegistryKey::importKey(const CPLXWCharString& szImportFileName, DWORD dwFlags) {
    try {
        CCloseOnExit closer(*this);
        if (!szImportFileName.isValid()) {
            throw CPLXBadArgException(TEXT("szImportFileName"), TEXT("filename must be non-null"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        if (dwFlags == PLX_REG_IMPORT_TEXT) {
            return CPLXRegistryFile(szImportFileName).loadFile();
        }
        return restoreKey(szImportFileName, dwFlags);
    }
    PLX_CATCH_RETURN(false)
}

bool CPLXRegistryKey::restoreKey(const CPLXWCharString& szFileName, DWORD dwFlags) {
    if (!enablePrivilege(TEXT("SeRestorePrivilege"))) return false;
    if (!ensureOpen()) return false;
    LONG lResult = RegRestoreKeyW(m_hKey, szFileName.c_str(), dwFlags);
    if (lResult != ERROR_SUCCESS) {
        throw CPLXRegRestoreKeyException(reportPath(), static_cast<ULONG>(lResult), nullptr, nullptr, PLX_SRC,
                                         PLX_LOG_NOW);
    }
    return true;
}
