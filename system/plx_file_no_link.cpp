#include "plx_file_no_link.h"

HANDLE plxCreateFileNoLink(LPCWSTR szPath, DWORD dwDesiredAccess, DWORD dwShareMode, DWORD dwCreationDisposition,
                           DWORD dwFlagsAndAttributes) {
    HANDLE hFile = CreateFileW(szPath, dwDesiredAccess, dwShareMode, nullptr, dwCreationDisposition,
                               dwFlagsAndAttributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return hFile;
    const DWORD dwOpenError = GetLastError();
    BY_HANDLE_FILE_INFORMATION info = {};
    // A file that cannot be told apart from a link counts as one.
    if (!GetFileInformationByHandle(hFile, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        info.nNumberOfLinks > 1) {
        CloseHandle(hFile);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(dwOpenError);
    return hFile;
}
