// A 32-bit set of flag bits: trim options, message box styles, policy locations.
#ifndef PLX_FLAGS_H
#define PLX_FLAGS_H

#include "plx_win32.h"

class CPLXFlags {
public:
    CPLXFlags(ULONG ulFlags = 0);
    CPLXFlags(const CPLXFlags& other) = default;
    CPLXFlags& operator=(const CPLXFlags& other);
    bool operator!=(const CPLXFlags& other) const;
    // Every bit of the mask is set; an empty mask gives true.
    bool hasFlags(ULONG ulMask) const;
    // The number of the highest bit of the mask, when all of its bits are set.
    bool getIndex(ULONG ulMask, ULONG& ulIndex) const;
    // The raw bits, untraced (for Windows calls such as MessageBoxW).
    ULONG getFlags() const { return m_ulFlags; }

private:
    ULONG m_ulFlags;
};

#endif
