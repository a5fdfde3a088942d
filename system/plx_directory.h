// One directory path: whether it names an existing directory, and the
// creation of every missing level of it.  The path is kept as the caller
// gave it, with or without a trailing backslash.  Nothing here throws.
#ifndef PLX_DIRECTORY_H
#define PLX_DIRECTORY_H

#include "plx_win32.h"
#include "plx_wchar_string.h"

class CPLXDirectory {
public:
    // A name that cannot be copied leaves the object with an empty name (logged).
    explicit CPLXDirectory(const CPLXWCharString& directoryName);
    ~CPLXDirectory();

    bool setDirectoryName(const CPLXWCharString& directoryName);
    bool isValidDirectory();
    // Whether path names an existing directory ("C:" and "C:\" name the drive's root).
    bool isValidWindowsDirectory(const CPLXWCharString& path);
    // Creates every missing level of the path, from the top down.  False when
    // the directory existed already (nothing is created), when the name is
    // empty, or when a level could not be created (the levels made before it
    // stay); true when at least one level was created.
    bool createDirectory();

private:
    CPLXWCharString m_directoryName;
};

#endif
