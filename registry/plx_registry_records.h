// The records of the list readers (getAllValues): one value's name and data
// in the type of its class.  Two records are equal when both fields are;
// records have no order.
#ifndef PLX_REGISTRY_RECORDS_H
#define PLX_REGISTRY_RECORDS_H

#include "plx_win32.h"
#include "plx_buffer.h"
#include "plx_dbllist.h"
#include "plx_wchar_string.h"

// REG_SZ and REG_EXPAND_SZ values.
class CPLXRegistryStringValue {
public:
    CPLXRegistryStringValue() {}
    CPLXRegistryStringValue(const CPLXWCharString& szName, const CPLXWCharString& szValue)
        : m_szName(szName), m_szValue(szValue) {}
    bool operator==(const CPLXRegistryStringValue& other) const {
        return m_szName == other.m_szName && m_szValue == other.m_szValue;
    }
    bool operator!=(const CPLXRegistryStringValue& other) const { return !(*this == other); }
    bool operator<(const CPLXRegistryStringValue&) const { return false; }
    bool operator>(const CPLXRegistryStringValue&) const { return false; }

    CPLXWCharString m_szName;
    CPLXWCharString m_szValue;
};

class CPLXRegistryDwordValue {
public:
    CPLXRegistryDwordValue() : m_dwValue(0) {}
    CPLXRegistryDwordValue(const CPLXWCharString& szName, DWORD dwValue) : m_szName(szName), m_dwValue(dwValue) {}
    bool operator==(const CPLXRegistryDwordValue& other) const {
        return m_szName == other.m_szName && m_dwValue == other.m_dwValue;
    }
    bool operator!=(const CPLXRegistryDwordValue& other) const { return !(*this == other); }
    bool operator<(const CPLXRegistryDwordValue&) const { return false; }
    bool operator>(const CPLXRegistryDwordValue&) const { return false; }

    CPLXWCharString m_szName;
    DWORD m_dwValue;
};

class CPLXRegistryMultiStringValue {
public:
    CPLXRegistryMultiStringValue() {}
    CPLXRegistryMultiStringValue(const CPLXWCharString& szName, const CPLXDblList<CPLXWCharString>& lValues)
        : m_szName(szName), m_lValues(lValues) {}
    // Equal lists: same count and, entry by entry, same tag and same text.
    bool operator==(const CPLXRegistryMultiStringValue& other) const {
        return m_szName == other.m_szName && m_lValues == other.m_lValues;
    }
    bool operator!=(const CPLXRegistryMultiStringValue& other) const { return !(*this == other); }
    bool operator<(const CPLXRegistryMultiStringValue&) const { return false; }
    bool operator>(const CPLXRegistryMultiStringValue&) const { return false; }

    CPLXWCharString m_szName;
    CPLXDblList<CPLXWCharString> m_lValues;
};

class CPLXRegistryBinaryValue {
public:
    CPLXRegistryBinaryValue() {}
    CPLXRegistryBinaryValue(const CPLXWCharString& szName, const CPLXBuffer<unsigned char>& value)
        : m_szName(szName), m_value(value) {}
    bool operator==(const CPLXRegistryBinaryValue& other) const;
    bool operator!=(const CPLXRegistryBinaryValue& other) const { return !(*this == other); }
    bool operator<(const CPLXRegistryBinaryValue&) const { return false; }
    bool operator>(const CPLXRegistryBinaryValue&) const { return false; }

    CPLXWCharString m_szName;
    CPLXBuffer<unsigned char> m_value;
};

// Byte-wise equality of two byte buffers (both empty counts as equal).
bool plxSameBytes(const CPLXBuffer<unsigned char>& a, const CPLXBuffer<unsigned char>& b);

#endif
