#include "plx_product_registryinfo.h"

#include "plx_method_trace.h"

CPLXProductRegistryInfo::CPLXProductRegistryInfo(const CPLXWCharString& szKeyPath,
                                                 const CPLXWCharString& szVersionValueName,
                                                 const CPLXWCharString& szInstallPathValueName)
    : m_szKeyPath(szKeyPath),
      m_szVersionValueName(szVersionValueName),
      m_szInstallPathValueName(szInstallPathValueName) {
    PLX_TRACE("CPLXProductRegistryInfo", "Constructor");
    plxTrace.done();
}

CPLXProductRegistryInfo::CPLXProductRegistryInfo(const CPLXProductRegistryInfo& other)
    : m_szKeyPath(other.m_szKeyPath),
      m_szVersionValueName(other.m_szVersionValueName),
      m_szInstallPathValueName(other.m_szInstallPathValueName) {
    PLX_TRACE("CPLXProductRegistryInfo", "Constructor");
    plxTrace.done();
}

CPLXProductRegistryInfo::~CPLXProductRegistryInfo() {
    PLX_TRACE("CPLXProductRegistryInfo", "Destructor");
    plxTrace.done();
}

void CPLXProductRegistryInfo::copyFrom(const CPLXProductRegistryInfo& other) {
    if (&other == this) return;
    m_szKeyPath = other.m_szKeyPath;
    m_szVersionValueName = other.m_szVersionValueName;
    m_szInstallPathValueName = other.m_szInstallPathValueName;
}

CPLXProductRegistryInfo& CPLXProductRegistryInfo::operator=(const CPLXProductRegistryInfo& other) {
    PLX_TRACE("CPLXProductRegistryInfo", "operator=");
    copyFrom(other);
    plxTrace.done();
    return *this;
}

CPLXProductRegistryInfo& CPLXProductRegistryInfo::operator=(const CPLXProductRegistryInfo* pOther) {
    PLX_TRACE("CPLXProductRegistryInfo", "operator=");
    if (pOther != nullptr) copyFrom(*pOther);
    plxTrace.done();
    return *this;
}

bool CPLXProductRegistryInfo::operator==(const CPLXProductRegistryInfo& other) const {
    PLX_TRACE("CPLXProductRegistryInfo", "operator==");
    bool bEqual = m_szInstallPathValueName == other.m_szInstallPathValueName && m_szKeyPath == other.m_szKeyPath &&
                  m_szVersionValueName == other.m_szVersionValueName;
    return plxTrace.logical(bEqual);
}

bool CPLXProductRegistryInfo::operator!=(const CPLXProductRegistryInfo& other) const {
    PLX_TRACE("CPLXProductRegistryInfo", "operator!=");
    bool bEqual = m_szInstallPathValueName == other.m_szInstallPathValueName && m_szKeyPath == other.m_szKeyPath &&
                  m_szVersionValueName == other.m_szVersionValueName;
    return plxTrace.logical(!bEqual);
}
