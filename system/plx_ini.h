// Typed access to one profile (INI) file through Windows' private-profile
// functions.  Names and values pass to Windows unchanged; Windows decides
// the file's encoding (a new file is written in the ANSI code page, a file
// that starts with a UTF-16LE byte-order mark stays UTF-16LE).  Every
// operation reports its failures to the log and answers false; nothing is
// thrown to the caller.
#ifndef PLX_INI_H
#define PLX_INI_H

#include "plx_win32.h"
#include "plx_dbllist.h"
#include "plx_wchar_string.h"

// The units one read of a section or of the section names takes; a list that
// does not fit comes back with a count of this size minus 2.
#define INI_SECTION_READ_UNITS 32767

class CPLXIni {
public:
    explicit CPLXIni(const CPLXWCharString& fileName);
    virtual ~CPLXIni();

    // Makes sure that the section exists; an existing section keeps its entries.
    virtual bool createProfileSection(const CPLXWCharString& section);
    // The integer of a key.  False, value unchanged and logged, when the key
    // is absent or holds -1 (the two cannot be told apart).
    virtual bool getProfileInt(const CPLXWCharString& section, const CPLXWCharString& key, INT& value);
    // The section's lines ("key=value"), as Windows returns them.  False,
    // list unchanged, when the section is missing or empty, or too large for
    // one read of 32767 units (logged as a cut).
    virtual bool getProfileSection(const CPLXWCharString& section, CPLXDblList<CPLXWCharString>& lines);
    // The file's section names; false, list unchanged, as for getProfileSection.
    virtual bool getProfileSectionNames(CPLXDblList<CPLXWCharString>& names);
    // The text of a key.  False, value unchanged, when the key is absent or
    // empty, holds "Not Found", or is 1022 units or longer (logged as a cut:
    // such a text may not be whole).
    virtual bool getProfileString(const CPLXWCharString& section, const CPLXWCharString& key, CPLXWCharString& value);
    // Writes the integer as signed decimal text.
    virtual bool setProfileInt(const CPLXWCharString& section, const CPLXWCharString& key, INT value);
    // Writes key=value into the section, creating file and section as needed.
    // A section, key or value with a line break is refused (logged): a
    // profile line cannot carry it.
    virtual bool setProfileString(const CPLXWCharString& section, const CPLXWCharString& key,
                                  const CPLXWCharString& value);

    // Writes the section's lines ("key=value") at once, replacing whatever the
    // section held (a missing section is added at the end of the file): one
    // write of the file for a whole section.  An empty list is refused, as is
    // a line with a line break (logged).
    bool setProfileSection(const CPLXWCharString& section, const CPLXDblList<CPLXWCharString>& lines);
    // Whether a profile line can carry the text (it holds no line break).
    static bool isSingleLine(const CPLXWCharString& text);
    // Creates the file, when it does not exist yet, as UTF-16LE text (only the
    // byte-order mark FF FE): Windows then writes every entry in UTF-16, where
    // the ANSI code page of a file it creates itself would lose the text that
    // the code page cannot hold.  False when the file can be neither made nor
    // found.
    bool createUnicodeFile();

private:
    // One read of section lines or names into the list (shared by both readers).
    bool readList(const CPLXWCharString* pSection, CPLXDblList<CPLXWCharString>& list);

    CPLXWCharString m_fileName;
};

#endif
