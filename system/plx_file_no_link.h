// Opening a file to write it without following a link.  A program running
// with administrator rights that writes into a folder standard users can
// write to (a download folder, C:\ProgramData\...) must not be turned onto
// another file by a hard link or a symbolic link planted under the name.
#ifndef PLX_FILE_NO_LINK_H
#define PLX_FILE_NO_LINK_H

#include "plx_win32.h"

// CreateFileW (no security attributes, no template) with
// FILE_FLAG_OPEN_REPARSE_POINT added to dwFlagsAndAttributes, so that a link
// in the last component is opened itself, then refused when what was opened
// is a reparse point or a file with more than one name.  A refused file is
// closed again and gives INVALID_HANDLE_VALUE with ERROR_ACCESS_DENIED; an
// open file keeps the last error CreateFileW left (ERROR_ALREADY_EXISTS for
// an existing file opened by OPEN_ALWAYS).
HANDLE plxCreateFileNoLink(LPCWSTR szPath, DWORD dwDesiredAccess, DWORD dwShareMode, DWORD dwCreationDisposition,
                           DWORD dwFlagsAndAttributes);

#endif
