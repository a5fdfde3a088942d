#include "plx_flags.h"

#include "plx_method_trace.h"

CPLXFlags::CPLXFlags(ULONG ulFlags) : m_ulFlags(ulFlags) {
    PLX_TRACE("CPLXFlags", "CPLXFlags");
    plxTrace.done();
}

CPLXFlags& CPLXFlags::operator=(const CPLXFlags& other) {
    PLX_TRACE("CPLXFlags", "operator=");
    m_ulFlags = other.m_ulFlags;
    plxTrace.done();
    return *this;
}

bool CPLXFlags::operator!=(const CPLXFlags& other) const {
    PLX_TRACE("CPLXFlags", "operator!=");
    return plxTrace.logical(m_ulFlags != other.m_ulFlags);
}

bool CPLXFlags::hasFlags(ULONG ulMask) const {
    PLX_TRACE("CPLXFlags", "hasFlags");
    return plxTrace.logical((m_ulFlags & ulMask) == ulMask);
}

bool CPLXFlags::getIndex(ULONG ulMask, ULONG& ulIndex) const {
    PLX_TRACE("CPLXFlags", "getIndex");
    if (!hasFlags(ulMask)) {
        return plxTrace.success(false);
    }
    ULONG ulValue = m_ulFlags & ulMask;
    if (ulValue == 0) {
        return plxTrace.success(false);
    }
    // The number of the highest set bit.
    ULONG ulCount = 0;
    while (ulValue > 1) {
        ulValue /= 2;
        ++ulCount;
    }
    ulIndex = ulCount;
    return plxTrace.success(true);
}
