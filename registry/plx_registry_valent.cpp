#include "plx_registry_valent.h"

#include "plx_registry_records.h"

CPLXRegistryValent::CPLXRegistryValent() : m_dwType(0) {}

CPLXRegistryValent::CPLXRegistryValent(const VALENTW& entry)
    : m_szName(entry.ve_valuename),
      m_data(reinterpret_cast<const unsigned char*>(entry.ve_valueptr), entry.ve_valueptr ? entry.ve_valuelen : 0, 0),
      m_dwType(entry.ve_type) {}

bool CPLXRegistryValent::operator==(const CPLXRegistryValent& other) const {
    return m_dwType == other.m_dwType && m_szName == other.m_szName && plxSameBytes(m_data, other.m_data);
}
