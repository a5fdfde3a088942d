// A product of the maker as the registry describes it: vendor and product
// name and an ordered list of places where the product may have recorded its
// version and installation directory.  Concrete products add their places and
// decide what "installed" means.
#ifndef PLX_PRODUCT_H
#define PLX_PRODUCT_H

#include "plx_dbllist.h"
#include "plx_product_registryinfo.h"
#include "plx_wchar_string.h"

// A requested version number that matches any installed number.
#define PLX_DONT_CARE (-1L)

class CPLXProduct {
public:
    // Item kinds of getRegistryItem.
    enum RegistryItem { riRegistryLocation = 1, riVersion = 2, riInstallPath = 3 };

    CPLXProduct(const CPLXWCharString& szVendorName, const CPLXWCharString& szProductName);
    virtual ~CPLXProduct();
    CPLXProduct(const CPLXProduct&) = delete;
    CPLXProduct& operator=(const CPLXProduct&) = delete;

    virtual bool isInstalled(LONG lMajorVer, LONG lMinorVer, LONG lBuildVer, LONG lPatchVer) = 0;
    virtual bool getProductVersion(LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer, LONG& lPatchVer) = 0;
    virtual bool getProductVersion(CPLXWCharString& szVersion) = 0;

    // The first registered location that answers wins; szItem is assigned only on success.
    bool getRegistryItem(ULONG ulItem, CPLXWCharString& szItem);
    // Splits "a.b.c.d"; a missing or non-numeric part leaves its out value unchanged.
    bool convertVersion(const CPLXWCharString& szVersion, LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer,
                        LONG& lPatchVer);
    // Once a position is PLX_DONT_CARE, every later one must be too.
    bool checkParms(const LONG* lVersions);
    // Whether the installed version is at least the requested one (four numbers each).
    bool isVersionInstalled(const LONG* lRequested, const LONG* lInstalled);

    const CPLXWCharString& getVendorName() const { return m_szVendorName; }
    const CPLXWCharString& getProductName() const { return m_szProductName; }

protected:
    // Appends a location; the list owns the record.
    bool addRegistryLocation(const CPLXWCharString& szKeyPath, const CPLXWCharString& szVersionValueName,
                             const CPLXWCharString& szInstallPathValueName);

private:
    CPLXWCharString m_szVendorName;
    CPLXWCharString m_szProductName;
    CPLXDblList<CPLXProductRegistryInfo, CPLXPtrNode<CPLXProductRegistryInfo>> m_lRegistryLocations;
};

#endif
