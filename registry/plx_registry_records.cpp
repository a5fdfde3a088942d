#include "plx_registry_records.h"

#include <cstring>

bool plxSameBytes(const CPLXBuffer<unsigned char>& a, const CPLXBuffer<unsigned char>& b) {
    if (a.getNumElems() != b.getNumElems()) return false;
    return a.getNumElems() == 0 || std::memcmp(a.getBuffer(), b.getBuffer(), a.getNumElems()) == 0;
}

bool CPLXRegistryBinaryValue::operator==(const CPLXRegistryBinaryValue& other) const {
    return m_szName == other.m_szName && plxSameBytes(m_value, other.m_value);
}
