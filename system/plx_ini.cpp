#include "plx_ini.h"

#include "plx_buffer.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"
#include "plx_scoped_handle.h"

namespace {
// GetPrivateProfileStringW's buffer, terminator included; a returned count of
// the size minus 1 or minus 2 is Windows' sign of a cut text.
const DWORD INI_STRING_UNITS = 1024;
const WCHAR* const INI_NOT_FOUND = TEXT("Not Found");

// A name for the log: null (shown as "Unknown") when there is none.
LPCWSTR reportName(const CPLXWCharString& name) { return name.isValid() ? name.c_str() : nullptr; }

void refuseLineBreak(const CPLXWCharString& text, LPCWSTR szParameter) {
    if (!CPLXIni::isSingleLine(text))
        throw CPLXBadArgException(szParameter, TEXT("Cannot hold a line break in a profile file"), PLX_SRC,
                                  PLX_LOG_NOW);
}
}  // namespace

CPLXIni::CPLXIni(const CPLXWCharString& fileName) : m_fileName(fileName) {
    PLX_TRACE("CPLXIni", "CPLXIni");
    plxTrace.done();
}

CPLXIni::~CPLXIni() {
    PLX_TRACE("CPLXIni", "~CPLXIni");
    plxTrace.done();
}

bool CPLXIni::createProfileSection(const CPLXWCharString& section) {
    PLX_TRACE("CPLXIni", "createProfileSection");
    try {
        // WritePrivateProfileSectionW without data would remove the section:
        // a missing one gets an entry that is removed again, which leaves
        // the section header in place.
        CPLXDblList<CPLXWCharString> names;
        bool bExists = false;
        if (readList(nullptr, names)) {
            names.forEach([&](const CPLXWCharString& name) {
                bExists = bExists || lstrcmpiW(name.c_str(), section.c_str()) == 0;
            });
        }
        if (bExists) return plxTrace.success(true);
        const CPLXWCharString placeholder(TEXT("PLXNewSection"));
        if (!WritePrivateProfileStringW(section.c_str(), placeholder.c_str(), TEXT(""), m_fileName.c_str()) ||
            !WritePrivateProfileStringW(section.c_str(), placeholder.c_str(), nullptr, m_fileName.c_str())) {
            throw CPLXWritePrivateProfileSectionException(reportName(section), GetLastError(), PLX_SRC, PLX_LOG_NOW);
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXIni::getProfileInt(const CPLXWCharString& section, const CPLXWCharString& key, INT& value) {
    PLX_TRACE("CPLXIni", "getProfileInt");
    try {
        const UINT uRead = GetPrivateProfileIntW(section.c_str(), key.c_str(), -1, m_fileName.c_str());
        if (static_cast<INT>(uRead) == -1) {
            throw CPLXLogException1(TEXT("GetPrivateProfileInt( ) failed."), GetLastError(), PLX_SRC, PLX_LOG_NOW);
        }
        value = static_cast<INT>(uRead);
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXIni::getProfileString(const CPLXWCharString& section, const CPLXWCharString& key, CPLXWCharString& value) {
    PLX_TRACE("CPLXIni", "getProfileString");
    try {
        CPLXBuffer<unsigned short> buffer(INI_STRING_UNITS);
        LPWSTR szBuffer = reinterpret_cast<LPWSTR>(buffer.getBuffer());
        const DWORD dwCount = GetPrivateProfileStringW(section.c_str(), key.c_str(), INI_NOT_FOUND, szBuffer,
                                                       INI_STRING_UNITS, m_fileName.c_str());
        if (dwCount == INI_STRING_UNITS - 1 || dwCount == INI_STRING_UNITS - 2) {
            CPLXProfileCutWarning(reportName(section), reportName(key), INI_STRING_UNITS, PLX_SRC, PLX_LOG_NOW);
            return plxTrace.success(false);
        }
        if (dwCount == 0 || lstrcmpW(szBuffer, INI_NOT_FOUND) == 0) return plxTrace.success(false);
        value = static_cast<const WCHAR*>(szBuffer);
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXIni::getProfileSection(const CPLXWCharString& section, CPLXDblList<CPLXWCharString>& lines) {
    PLX_TRACE("CPLXIni", "getProfileSection");
    try {
        return plxTrace.success(readList(&section, lines));
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXIni::getProfileSectionNames(CPLXDblList<CPLXWCharString>& names) {
    PLX_TRACE("CPLXIni", "getProfileSectionNames");
    try {
        return plxTrace.success(readList(nullptr, names));
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXIni::setProfileSection(const CPLXWCharString& section, const CPLXDblList<CPLXWCharString>& lines) {
    PLX_TRACE("CPLXIni", "setProfileSection");
    try {
        if (lines.getCount() == 0) {
            throw CPLXBadArgException(TEXT("lines"), TEXT("Cannot be empty: the section would be removed"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        // The lines one after another, each with its terminator, and one more.
        ULONG ulUnits = 1;
        lines.forEach([&](const CPLXWCharString& line) {
            refuseLineBreak(line, TEXT("lines"));
            ulUnits += line.getLength() + 1;
        });
        CPLXBuffer<unsigned short> data(ulUnits);
        ULONG ulAt = 0;
        lines.forEach([&](const CPLXWCharString& line) {
            for (ULONG i = 0; i < line.getLength(); ++i) data[ulAt++] = line.c_str()[i];
            ++ulAt;
        });
        if (!WritePrivateProfileSectionW(section.c_str(), reinterpret_cast<LPCWSTR>(data.getBuffer()),
                                         m_fileName.c_str())) {
            throw CPLXWritePrivateProfileSectionException(reportName(section), GetLastError(), PLX_SRC, PLX_LOG_NOW);
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXIni::isSingleLine(const CPLXWCharString& text) {
    return !text.contains(CPLXWCharString(TEXT("\r"))) && !text.contains(CPLXWCharString(TEXT("\n")));
}

bool CPLXIni::createUnicodeFile() {
    PLX_TRACE("CPLXIni", "createUnicodeFile");
    const CPLXScopedKernelHandle file(
        CreateFileW(m_fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isValid()) return plxTrace.success(GetLastError() == ERROR_FILE_EXISTS);
    static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
    DWORD dwWritten = 0;
    const BOOL bWritten = WriteFile(file.get(), kByteOrderMark, sizeof kByteOrderMark, &dwWritten, nullptr);
    return plxTrace.success(bWritten && dwWritten == sizeof kByteOrderMark);
}

bool CPLXIni::readList(const CPLXWCharString* pSection, CPLXDblList<CPLXWCharString>& list) {
    CPLXBuffer<unsigned short> buffer(INI_SECTION_READ_UNITS);
    LPWSTR szBuffer = reinterpret_cast<LPWSTR>(buffer.getBuffer());
    const DWORD dwCount =
        pSection ? GetPrivateProfileSectionW(pSection->c_str(), szBuffer, INI_SECTION_READ_UNITS, m_fileName.c_str())
                 : GetPrivateProfileSectionNamesW(szBuffer, INI_SECTION_READ_UNITS, m_fileName.c_str());
    if (dwCount == INI_SECTION_READ_UNITS - 2) {
        CPLXProfileCutWarning(pSection ? reportName(*pSection) : nullptr, nullptr, INI_SECTION_READ_UNITS, PLX_SRC,
                              PLX_LOG_NOW);
        return false;
    }
    if (dwCount == 0) return false;
    list.removeAll();
    // Each string ends at its terminator; an empty string adds nothing.
    DWORD dwStart = 0;
    for (DWORD i = 0; i < dwCount; ++i) {
        if (szBuffer[i] != 0) continue;
        if (i > dwStart) list.add(CPLXWCharString(static_cast<const WCHAR*>(szBuffer + dwStart)));
        dwStart = i + 1;
    }
    return list.getCount() > 0;
}

bool CPLXIni::setProfileInt(const CPLXWCharString& section, const CPLXWCharString& key, INT value) {
    PLX_TRACE("CPLXIni", "setProfileInt");
    try {
        const CPLXWCharString text(value);
        if (!WritePrivateProfileStringW(section.c_str(), key.c_str(), text.c_str(), m_fileName.c_str())) {
            throw CPLXWritePrivateProfileStringException(reportName(section), reportName(key), GetLastError(), PLX_SRC,
                                                         PLX_LOG_NOW);
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_ALL_RETURN_LASTERROR(plxTrace.success(false))
}

bool CPLXIni::setProfileString(const CPLXWCharString& section, const CPLXWCharString& key,
                               const CPLXWCharString& value) {
    PLX_TRACE("CPLXIni", "setProfileString");
    try {
        refuseLineBreak(section, TEXT("section"));
        refuseLineBreak(key, TEXT("key"));
        refuseLineBreak(value, TEXT("value"));
        if (!WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), m_fileName.c_str())) {
            throw CPLXWritePrivateProfileStringException(reportName(section), reportName(key), GetLastError(), PLX_SRC,
                                                         PLX_LOG_NOW);
        }
        return plxTrace.success(true);
    }
    PLX_CATCH_RETURN_LASTERROR(plxTrace.success(false))
}
