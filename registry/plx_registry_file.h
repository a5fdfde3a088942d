// A registry key tree in the registry text format: a profile (INI) file with
// one section per key, named by its root and path, and one entry per value,
// "name=TYPE:data":
//
//     [HKEY_LOCAL_MACHINE\Software\T]
//     A=REG_DWORD:0x0000000A
//     B=REG_SZ:"x"
//     E=REG_SZ_EXPAND:"%TEMP%\x"
//     L=REG_SZ_MULTI:41 00 00 00,42 00 00 00
//     D=REG_BINARY:01 02 03 00
//
// REG_DWORD, REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ and REG_BINARY values are
// carried; values of other types and unnamed default values are not, nor a
// key whose only values are such (its sub keys are).  A key without any
// value or sub key is written as an empty section, so that it comes back.  A new file is written as UTF-16LE, so every
// text the registry holds comes back unchanged; texts with a line break cannot be written (the export reports them and
// answers false).  Every read and write of the file goes through CPLXIni.
#ifndef PLX_REGISTRY_FILE_H
#define PLX_REGISTRY_FILE_H

#include "plx_win32.h"
#include "plx_dbllist.h"
#include "plx_wchar_string.h"

#include <set>
#include <vector>

class CPLXRegistryFile {
public:
    // szFileName: the file's full path.
    explicit CPLXRegistryFile(const CPLXWCharString& szFileName);

    // Writes the key and every key below it, a key before its sub keys; with
    // bOverwrite the file is deleted first, otherwise the key's sections are
    // added to (or merged into) what the file holds.  Creates the file's
    // folder when it is missing.  True when the whole tree was written; a
    // value that could not be written is reported and makes it false.
    bool saveKey(HKEY hRootKey, const CPLXWCharString& keyPath, bool bOverwrite);
    // Writes every key and value that the file names into the registry (keys
    // are created, also for sections without entries).  True when every
    // section was processed, also for a missing or empty file; a value that
    // cannot be written is reported by its value class and skipped.
    bool loadFile();

private:
    // Orders section names as the profile functions match them, without regard to case.
    struct CNoCaseLess {
        bool operator()(const CPLXWCharString& a, const CPLXWCharString& b) const {
            return lstrcmpiW(a.c_str(), b.c_str()) < 0;
        }
    };

    bool saveTree(HKEY hRootKey, const CPLXWCharString& keyPath);
    struct CEntry {
        CPLXWCharString name;
        CPLXWCharString text;
    };
    // Writes the entries of one key's section (false when one was refused).
    bool writeSection(const CPLXWCharString& section, const std::vector<CEntry>& entries);
    bool isEmptyFile() const;
    void loadSection(const CPLXWCharString& section);
    void loadLine(HKEY hRoot, const CPLXWCharString& keyPath, const CPLXWCharString& line);

    CPLXWCharString m_szFileName;
    // While saving: the sections the file holds, and whether they could not be listed.
    std::set<CPLXWCharString, CNoCaseLess> m_sections;
    bool m_bMergeAll = false;
};

#endif
