// One value as RegQueryMultipleValuesW returns it: name, type and the raw
// data bytes exactly as stored.
#ifndef PLX_REGISTRY_VALENT_H
#define PLX_REGISTRY_VALENT_H

#include "plx_win32.h"
#include "plx_buffer.h"
#include "plx_wchar_string.h"

class CPLXRegistryValent {
public:
    // Invalid name, no data, type 0.
    CPLXRegistryValent();
    // From one platform entry: the name its pointer shows, ve_valuelen bytes
    // from its data pointer, its type.
    explicit CPLXRegistryValent(const VALENTW& entry);

    bool operator==(const CPLXRegistryValent& other) const;
    bool operator!=(const CPLXRegistryValent& other) const { return !(*this == other); }
    // Values have no order.
    bool operator<(const CPLXRegistryValent&) const { return false; }
    bool operator>(const CPLXRegistryValent&) const { return false; }

    const CPLXWCharString& getName() const { return m_szName; }
    const CPLXBuffer<unsigned char>& getData() const { return m_data; }
    DWORD getType() const { return m_dwType; }

private:
    CPLXWCharString m_szName;
    CPLXBuffer<unsigned char> m_data;
    DWORD m_dwType;
};

#endif
