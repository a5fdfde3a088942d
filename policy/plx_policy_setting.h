// A typed policy setting of one of the maker's products: where it lives in the
// registry (vendor, product, optional sub key, value name), its default and a
// cache of the value last read or written.  A setting reads or writes one
// location at a time; searching several locations belongs to the product
// policy.  CPLXPolicyDwordSetting and CPLXPolicyStringSetting supply the
// registry access for their type.
#ifndef PLX_POLICY_SETTING_H
#define PLX_POLICY_SETTING_H

#include "plx_win32.h"
#include "plx_dbllist.h"
#include "plx_exceptions.h"
#include "plx_flags.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"
#include "plx_wchar_string.h"

// Where a setting may be stored: one bit each.  A value with several of the six
// bits counts as its highest one; 0 or any bit outside them counts as
// plMachinePolicy.  The fixed underlying type keeps such values representable.
enum PolicyLocation : DWORD {
    plMachinePolicy = 1,
    plUserPolicy = 2,
    plMachinePolicyUserDefaults = 4,
    plMachine = 8,
    plUser = 16,
    plMachineUserDefaults = 32
};

#define PLX_POLICY_ALL_LOCATIONS 63
#define PLX_POLICY_SOURCE_REGISTRY 1
#define PLX_POLICY_TYPE_DWORD 1
#define PLX_POLICY_TYPE_STRING 2

#define PLX_POLICY_VENDOR_PLACEHOLDER TEXT("%VENDOR_NAME%")
#define PLX_POLICY_PRODUCT_PLACEHOLDER TEXT("%PRODUCT_NAME%")
#define PLX_POLICY_VALUE_NAME_KEY TEXT("%VALUE_NAME%")

// Access masks of a policy read and a policy write.
#define PLX_POLICY_READ_ACCESS KEY_READ
#define PLX_POLICY_WRITE_ACCESS (KEY_READ | KEY_WRITE)

// The bit number of a location (0 for plMachinePolicy ... 5 for
// plMachineUserDefaults); 0 for values that are no location.
inline ULONG plxPolicyLocationIndex(PolicyLocation location) {
    ULONG ulIndex = 0;
    CPLXFlags allLocations(PLX_POLICY_ALL_LOCATIONS);
    if (!allLocations.getIndex(static_cast<ULONG>(location), ulIndex)) {
        ulIndex = 0;
    }
    return ulIndex;
}

inline HKEY plxPolicyRootKey(PolicyLocation location) {
    static const HKEY s_rootKeys[6] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                       HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    return s_rootKeys[plxPolicyLocationIndex(location)];
}

inline LPCWSTR plxPolicyPathTemplate(PolicyLocation location) {
    static const LPCWSTR s_templates[6] = {TEXT("Software\\Policies\\%VENDOR_NAME%\\%PRODUCT_NAME%"),
                                           TEXT("Software\\Policies\\%VENDOR_NAME%\\%PRODUCT_NAME%"),
                                           TEXT("Software\\Policies\\%VENDOR_NAME%\\%PRODUCT_NAME%\\User Defaults"),
                                           TEXT("Software\\%VENDOR_NAME%\\%PRODUCT_NAME%"),
                                           TEXT("Software\\%VENDOR_NAME%\\%PRODUCT_NAME%"),
                                           TEXT("Software\\%VENDOR_NAME%\\%PRODUCT_NAME%\\User Defaults")};
    return s_templates[plxPolicyLocationIndex(location)];
}

// Splits "KEY=VALUE" into the text before the first "=" and the text after the
// last "=".  False when there is no "=".
inline bool plxSplitSubstitution(const CPLXWCharString& szSubstitution, CPLXWCharString& szKey,
                                 CPLXWCharString& szValue) {
    const CPLXWCharString szEquals(TEXT("="));
    ULONG ulFirst = 0;
    ULONG ulLast = 0;
    if (!szSubstitution.find(szEquals, 1, pmFromStart, ulFirst) ||
        !szSubstitution.find(szEquals, 1, pmFromEnd, ulLast)) {
        return false;
    }
    szKey = szSubstitution.withoutLast(szSubstitution.getLength() - ulFirst);
    szValue = szSubstitution.withoutFirst(ulLast + 1);
    return true;
}

// The entry written when a setting names a source other than the registry.
inline void plxReportUnsupportedPolicySource() {
    CPLXLogException1 report(TEXT("Policy source is not supported."), 0, PLX_SRC, PLX_LOG_NOW);
}

template <class T>
class CPLXPolicySetting {
public:
    CPLXPolicySetting()
        : m_ulSource(PLX_POLICY_SOURCE_REGISTRY),
          m_ulType(PLX_POLICY_TYPE_DWORD),
          m_tDefault(),
          m_ulID(0),
          m_bMirror32(false),
          m_bCached(false),
          m_tCachedValue() {
        PLX_TRACE("CPLXPolicySetting", "CPLXPolicySetting");
        plxTrace.done();
    }

    CPLXPolicySetting(const CPLXWCharString& szVendorName, const CPLXWCharString& szProductName, ULONG ulID,
                      ULONG ulSource, ULONG ulType, const CPLXWCharString& szVersion,
                      const CPLXWCharString& szValueName, const CPLXWCharString& szSubKey, const T& tDefault,
                      bool bMirror32)
        : m_ulSource(ulSource),
          m_ulType(ulType),
          m_szVendorName(szVendorName),
          m_szProductName(szProductName),
          m_szVersion(szVersion),
          m_szValueName(szValueName),
          m_szSubKey(szSubKey),
          m_tDefault(tDefault),
          m_ulID(ulID),
          m_bMirror32(bMirror32),
          m_bCached(false),
          m_tCachedValue(tDefault) {
        PLX_TRACE("CPLXPolicySetting", "CPLXPolicySetting");
        plxTrace.done();
    }

    CPLXPolicySetting(const CPLXPolicySetting& other) = default;

    CPLXPolicySetting& operator=(const CPLXPolicySetting& other) {
        PLX_TRACE("CPLXPolicySetting", "operator=");
        if (this != &other) {
            copyFields(other);
        }
        plxTrace.done();
        return *this;
    }

    // The cache does not take part.
    bool operator==(const CPLXPolicySetting& other) const {
        PLX_TRACE("CPLXPolicySetting", "operator==");
        return plxTrace.logical(sameDefinition(other));
    }
    bool operator!=(const CPLXPolicySetting& other) const {
        PLX_TRACE("CPLXPolicySetting", "operator!=");
        return plxTrace.logical(!sameDefinition(other));
    }
    // Settings are ordered by identifier only.
    bool operator<(const CPLXPolicySetting& other) const {
        PLX_TRACE("CPLXPolicySetting", "operator<");
        return plxTrace.logical(m_ulID < other.m_ulID);
    }
    bool operator>(const CPLXPolicySetting& other) const {
        PLX_TRACE("CPLXPolicySetting", "operator>");
        return plxTrace.logical(m_ulID > other.m_ulID);
    }

    virtual const T& getDefaultValue() { return m_tDefault; }
    // Reads the value from one location into out; true when it was found.
    virtual bool getPolicy(PolicyLocation location, T& out, bool bUseCache, const CPLXWCharString& szSubstitution) = 0;
    virtual const CPLXWCharString& getSubKey() { return m_szSubKey; }

    // The value name a caller should use: the VALUE of the first entry
    // "%VALUE_NAME%=VALUE" of the list, else the setting's own value name.
    virtual CPLXWCharString resolveValueName(CPLXDblList<CPLXWCharString>& lSubstitutions) {
        CPLXWCharString szResolved(m_szValueName);
        try {
            const CPLXWCharString szValueNameKey(PLX_POLICY_VALUE_NAME_KEY);
            bool bMore = lSubstitutions.getCount() > 0;
            if (bMore) {
                lSubstitutions.moveFirst();
            }
            while (bMore) {
                CPLXWCharString szEntry;
                CPLXWCharString szKey;
                CPLXWCharString szValue;
                if (lSubstitutions.getCurrent(szEntry) && szEntry.isValid() &&
                    plxSplitSubstitution(szEntry, szKey, szValue) && szKey == szValueNameKey) {
                    szResolved = szValue;
                    break;
                }
                bMore = lSubstitutions.moveNext();
            }
        }
        PLX_CATCH_RETURN(CPLXWCharString(m_szValueName))
        return szResolved;
    }

    virtual const CPLXWCharString& getValueName() { return m_szValueName; }
    virtual void setDefaultValue(const T& tDefault) { m_tDefault = tDefault; }
    // Writes value into one location; true when it was written.
    virtual bool setPolicy(PolicyLocation location, const T& value, bool bCreate, const CPLXWCharString& szSubstitution,
                           bool bVolatile) = 0;
    virtual void setSubKey(const CPLXWCharString& szSubKey) { m_szSubKey = szSubKey; }
    virtual void setValueName(const CPLXWCharString& szValueName) { m_szValueName = szValueName; }

    // The key path of the setting in location: the location's template with
    // vendor and product filled in, the sub key appended and the substitution
    // KEY=VALUE applied.  Empty for an unsupported source.
    CPLXWCharString getValueLocation(PolicyLocation location, const CPLXWCharString& szSubstitution) {
        PLX_TRACE("CPLXPolicySetting", "getValueLocation");
        CPLXWCharString szPath;
        try {
            if (!checkRegistrySource()) {
                plxTrace.success(false);
                return szPath;
            }
            szPath = plxPolicyPathTemplate(location);
            if (!szPath.replace(CPLXWCharString(PLX_POLICY_VENDOR_PLACEHOLDER), m_szVendorName, 1, ssmOccur) ||
                !szPath.replace(CPLXWCharString(PLX_POLICY_PRODUCT_PLACEHOLDER), m_szProductName, 1, ssmOccur)) {
                plxTrace.success(false);
                return szPath;
            }
            if (m_szSubKey.getLength() > 0) {
                const CPLXWCharString szBackslash(TEXT("\\"));
                if (!m_szSubKey.beginsWith(szBackslash)) {
                    szPath += szBackslash;
                }
                szPath += m_szSubKey;
            }
            CPLXWCharString szKey;
            CPLXWCharString szValue;
            if (szSubstitution.getLength() > 0 && plxSplitSubstitution(szSubstitution, szKey, szValue) &&
                szKey.getLength() > 0 && szValue.getLength() > 0 &&
                szKey != CPLXWCharString(PLX_POLICY_VALUE_NAME_KEY)) {
                // A KEY that no longer occurs (a placeholder already filled in) changes nothing.
                szPath.replace(szKey, szValue, 1, ssmOccur);
            }
            plxTrace.success(true);
        }
        PLX_CATCH_RETURN(szPath)
        return szPath;
    }

    ULONG getID() const { return m_ulID; }
    ULONG getSource() const { return m_ulSource; }
    ULONG getType() const { return m_ulType; }
    const CPLXWCharString& getVendorName() const { return m_szVendorName; }
    const CPLXWCharString& getProductName() const { return m_szProductName; }
    const CPLXWCharString& getVersion() const { return m_szVersion; }
    bool isMirror32() const { return m_bMirror32; }
    bool isCached() const { return m_bCached; }
    const T& getCachedValue() const { return m_tCachedValue; }

protected:
    // Not virtual: settings are held by value and never deleted through this base.
    ~CPLXPolicySetting() = default;

    void copyFields(const CPLXPolicySetting& other) {
        m_ulSource = other.m_ulSource;
        m_ulType = other.m_ulType;
        m_szVendorName = other.m_szVendorName;
        m_szProductName = other.m_szProductName;
        m_szVersion = other.m_szVersion;
        m_szValueName = other.m_szValueName;
        m_szSubKey = other.m_szSubKey;
        m_tDefault = other.m_tDefault;
        m_ulID = other.m_ulID;
        m_bMirror32 = other.m_bMirror32;
        m_bCached = other.m_bCached;
        m_tCachedValue = other.m_tCachedValue;
    }

    bool sameDefinition(const CPLXPolicySetting& other) const {
        return m_ulID == other.m_ulID && m_ulSource == other.m_ulSource && m_ulType == other.m_ulType &&
               m_szVendorName == other.m_szVendorName && m_szProductName == other.m_szProductName &&
               m_szVersion == other.m_szVersion && m_szValueName == other.m_szValueName &&
               m_szSubKey == other.m_szSubKey && m_tDefault == other.m_tDefault && m_bMirror32 == other.m_bMirror32;
    }

    void cacheValue(const T& value) {
        m_tCachedValue = value;
        m_bCached = true;
    }

    // True when the setting is stored in the registry; otherwise reports the
    // unsupported source.
    bool checkRegistrySource() const {
        if (m_ulSource == PLX_POLICY_SOURCE_REGISTRY) return true;
        plxReportUnsupportedPolicySource();
        return false;
    }

    // The cached value when bUseCache and there is one; otherwise, for a
    // registry setting, readStored(value) reads the registry and a value read
    // is cached.
    template <class TReadStored>
    bool fetchValue(T& out, bool bUseCache, TReadStored readStored) {
        if (bUseCache && m_bCached) {
            out = m_tCachedValue;
            return true;
        }
        if (!checkRegistrySource()) return false;
        T value = T();
        if (!readStored(value)) return false;
        out = value;
        cacheValue(value);
        return true;
    }

    // Writes value through regValue (a registry value of the setting's
    // location) and caches it; with bMirror the write is repeated in the
    // 32-bit view, a convenience for 32-bit readers whose failure does not
    // undo the first write.
    template <class TRegValue>
    bool storeValue(TRegValue& regValue, const T& value, bool bMirror) {
        if (!regValue.setValue(value, false)) return false;
        cacheValue(value);
        if (bMirror) {
            regValue.setAccess(PLX_POLICY_WRITE_ACCESS | KEY_WOW64_32KEY);
            regValue.setValue(value, false);
        }
        return true;
    }

    ULONG m_ulSource;
    ULONG m_ulType;
    CPLXWCharString m_szVendorName;
    CPLXWCharString m_szProductName;
    CPLXWCharString m_szVersion;
    CPLXWCharString m_szValueName;
    CPLXWCharString m_szSubKey;
    T m_tDefault;
    ULONG m_ulID;
    bool m_bMirror32;
    bool m_bCached;
    T m_tCachedValue;
};

#endif
