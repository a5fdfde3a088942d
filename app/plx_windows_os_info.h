// The running Windows: version number, 32- or 64-bit, service pack, the
// shell's operating-system queries and whether the process runs from a
// preinstallation environment drive.  Everything but the processor
// architecture is gathered by the constructor.
#ifndef PLX_WINDOWS_OS_INFO_H
#define PLX_WINDOWS_OS_INFO_H

#include "plx_win32.h"

#define PLX_PLATFORM_32BIT 1
#define PLX_PLATFORM_64BIT 2

// Queries of the shell's operating-system function (shlwapi ordinal 437).
#define PLX_OS_QUERY_XP_OR_LATER 18
#define PLX_OS_QUERY_37 37

class CPLXWindowsOSInfo {
public:
    // Throws CPLXWindowsOSInfoInitNeededException when the Windows version
    // cannot be read.
    CPLXWindowsOSInfo();
    ~CPLXWindowsOSInfo();

    // PLX_PLATFORM_32BIT or PLX_PLATFORM_64BIT, asked afresh on each call.
    ULONG getPlatform();
    bool isXP();         // 5.1 <= version < 6.0
    bool isVista();      // 6.0
    bool isVersion61();  // 6.1
    // Asks the shell's query; true when it could be asked, bAnswer its answer.
    bool performOSQueryFunction(DWORD dwQuery, bool& bAnswer);
    // True when the environment variable "PLXDrive" is set and not empty.
    bool performPECheck();

    bool isXPOrLater() const { return m_bXPOrLater; }
    bool getQuery37() const { return m_bQuery37; }
    bool isPreinstallation() const { return m_bPreinstallation; }
    DWORD getServicePack() const { return m_dwServicePack; }
    double getVersionNumber() const { return m_dVersion; }

private:
    bool m_bXPOrLater;
    bool m_bQuery37;
    bool m_bPreinstallation;
    DWORD m_dwServicePack;
    double m_dVersion;
};

#endif
