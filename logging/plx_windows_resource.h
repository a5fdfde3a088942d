// Loads string-table texts from the resources of the running executable.
#ifndef PLX_WINDOWS_RESOURCE_H
#define PLX_WINDOWS_RESOURCE_H

#include "plx_win32.h"
#include "plx_wchar_string.h"

// Texts are loaded into this many UTF-16 units: at most 1023 characters.
#define PLX_RESOURCE_STRING_SIZE 1024

class CPLXWindowsResource {
public:
    // The module is the running executable.
    CPLXWindowsResource();
    ~CPLXWindowsResource();
    CPLXWindowsResource(const CPLXWindowsResource&) = delete;
    CPLXWindowsResource& operator=(const CPLXWindowsResource&) = delete;

    // The text of string uID; false, with out unchanged, when there is none.
    bool loadString(UINT uID, CPLXWCharString& out);
    HMODULE getModule() const { return m_hModule; }

private:
    HMODULE m_hModule;          // from GetModuleHandleW: no reference, nothing to free
    CPLXWCharString m_dllName;  // used only in messages
};

#endif
