// One place in HKEY_LOCAL_MACHINE where a product may have recorded itself:
// its key and the names of the values holding the version and the
// installation directory.
#ifndef PLX_PRODUCT_REGISTRYINFO_H
#define PLX_PRODUCT_REGISTRYINFO_H

#include "plx_wchar_string.h"

class CPLXProductRegistryInfo {
public:
    CPLXProductRegistryInfo(const CPLXWCharString& szKeyPath, const CPLXWCharString& szVersionValueName,
                            const CPLXWCharString& szInstallPathValueName);
    CPLXProductRegistryInfo(const CPLXProductRegistryInfo& other);
    virtual ~CPLXProductRegistryInfo();

    virtual CPLXProductRegistryInfo& operator=(const CPLXProductRegistryInfo& other);
    // Same as the reference form; a null record leaves this one unchanged.
    virtual CPLXProductRegistryInfo& operator=(const CPLXProductRegistryInfo* pOther);

    bool operator==(const CPLXProductRegistryInfo& other) const;
    bool operator!=(const CPLXProductRegistryInfo& other) const;

    const CPLXWCharString& getKeyPath() const { return m_szKeyPath; }
    const CPLXWCharString& getVersionValueName() const { return m_szVersionValueName; }
    const CPLXWCharString& getInstallPathValueName() const { return m_szInstallPathValueName; }

private:
    void copyFrom(const CPLXProductRegistryInfo& other);

    CPLXWCharString m_szKeyPath;
    CPLXWCharString m_szVersionValueName;
    CPLXWCharString m_szInstallPathValueName;
};

#endif
