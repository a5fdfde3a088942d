#include "plx_file_no_link.h"

#include "plx_scoped_handle.h"

HANDLE plxCreateFileNoLink(LPCWSTR szPath, DWORD dwDesiredAccess, DWORD dwShareMode, DWORD dwCreationDisposition,
                           DWORD dwFlagsAndAttributes) {
    CPLXScopedKernelHandle file(CreateFileW(szPath, dwDesiredAccess, dwShareMode, nullptr, dwCreationDisposition,
                                            dwFlagsAndAttributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.isValid()) return INVALID_HANDLE_VALUE;
    const DWORD dwOpenError = GetLastError();
    BY_HANDLE_FILE_INFORMATION info = {};
    // A file that cannot be told apart from a link counts as one; closing it keeps this error.
    if (!GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        info.nNumberOfLinks > 1) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(dwOpenError);
    return file.release();
}
