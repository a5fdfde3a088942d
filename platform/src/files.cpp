// Files and directories of the simulated machine: CreateFileW and the calls on
// its handles, copy, move, delete, directories and attributes.
//
// Share modes hold between all handles of all processes on the machine: each
// open handle takes open-file-description locks on marker bytes far beyond any
// real data, one marker per access it holds and one per sharing it denies.  A
// new open (or a delete or move) first asks whether another handle holds a
// marker that conflicts with it.  Check and lock are two steps, so two opens
// racing in the same instant may both succeed.
#include "internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace plxsim {
namespace {

constexpr off_t kMarkerBase = off_t(1) << 62;
enum Marker { mAccessRead, mAccessWrite, mAccessDelete, mDenyRead, mDenyWrite, mDenyDelete };

constexpr DWORD kFileReadData = 0x0001, kFileWriteData = 0x0002, kFileAppendData = 0x0004;

struct Wants {
    bool read = false, write = false, del = false;
};

Wants accessOf(DWORD access) {
    Wants w;
    w.read = access & (GENERIC_READ | GENERIC_ALL | kFileReadData);
    w.write = access & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData);
    w.del = access & (DELETE | GENERIC_ALL);
    return w;
}

// Whether another open file description holds the marker.
bool markerHeld(int fd, Marker marker) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkerBase + marker;
    lock.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

void takeMarker(int fd, Marker marker) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkerBase + marker;
    lock.l_len = 1;
    fcntl(fd, F_OFD_SETLK, &lock);  // shared locks on a readable descriptor do not fail
}

// Whether an open with this access and share mode conflicts with the file's other handles.
bool sharingConflict(int fd, const Wants& w, DWORD share) {
    return (w.read && markerHeld(fd, mDenyRead)) || (w.write && markerHeld(fd, mDenyWrite)) ||
           (w.del && markerHeld(fd, mDenyDelete)) || (!(share & FILE_SHARE_READ) && markerHeld(fd, mAccessRead)) ||
           (!(share & FILE_SHARE_WRITE) && markerHeld(fd, mAccessWrite)) ||
           (!(share & FILE_SHARE_DELETE) && markerHeld(fd, mAccessDelete));
}

void takeMarkers(int fd, const Wants& w, DWORD share) {
    if (w.read) takeMarker(fd, mAccessRead);
    if (w.write) takeMarker(fd, mAccessWrite);
    if (w.del) takeMarker(fd, mAccessDelete);
    if (!(share & FILE_SHARE_READ)) takeMarker(fd, mDenyRead);
    if (!(share & FILE_SHARE_WRITE)) takeMarker(fd, mDenyWrite);
    if (!(share & FILE_SHARE_DELETE)) takeMarker(fd, mDenyDelete);
}

// Whether an existing file may be opened now with the given access (all sharing allowed).
bool openableNow(const std::string& host, const Wants& w) {
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    bool ok = !sharingConflict(fd, w, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    close(fd);
    return ok;
}

DWORD errnoToError(int err, const std::string& host) {
    switch (err) {
    case ENOENT: return missingPathError(host);
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    default: return ERROR_ACCESS_DENIED;
    }
}

class FileObject : public KernelObject {
public:
    // linkAttributes: a handle on a symbolic link itself; deleteOnClose: the
    // file's host path when it goes with this handle (FILE_FLAG_DELETE_ON_CLOSE).
    FileObject(int fd, const Wants& w, DWORD linkAttributes, std::string deleteOnClose)
        : m_fd(fd), m_wants(w), m_linkAttributes(linkAttributes), m_deleteOnClose(std::move(deleteOnClose)) {}
    ~FileObject() override {
        struct stat open, named;
        // Only the file this handle has open, not another that took its name since.
        if (!m_deleteOnClose.empty() && fstat(m_fd, &open) == 0 && stat(m_deleteOnClose.c_str(), &named) == 0 &&
            open.st_dev == named.st_dev && open.st_ino == named.st_ino)
            unlink(m_deleteOnClose.c_str());
        close(m_fd);
    }
    int fd() const { return m_fd; }
    const Wants& wants() const { return m_wants; }
    // A handle on a symbolic link itself (an O_PATH descriptor) reads and
    // writes nothing; its attributes are the link's.
    bool linkItself() const { return m_linkAttributes != 0; }
    DWORD linkAttributes() const { return m_linkAttributes; }

private:
    int m_fd;
    Wants m_wants;
    DWORD m_linkAttributes;
    std::string m_deleteOnClose;
};

bool fail(DWORD error) {
    SetLastError(error);
    return false;
}

// Resolves a Windows path; on failure sets the last error.
bool resolve(LPCWSTR path, std::string& host) {
    DWORD error = 0;
    if (!hostPath(path, host, &error)) return fail(error);
    return true;
}

FILETIME toFileTime(const struct timespec& ts) {
    // 100-ns intervals since 1601-01-01.
    uint64_t value = (static_cast<uint64_t>(ts.tv_sec) + 11644473600ULL) * 10000000ULL + ts.tv_nsec / 100;
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// Copies up to limit bytes.
bool copyData(int from, int to, uint64_t limit) {
    char buffer[65536];
    while (limit > 0) {
        ssize_t n = read(from, buffer, static_cast<size_t>(std::min<uint64_t>(sizeof buffer, limit)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(to, buffer + done, n - done);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return false;
            done += w;
        }
        limit -= static_cast<uint64_t>(n);
    }
    return true;
}

// CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT on a symbolic link: a handle
// on the link, not on its target.  Reading and writing the link's own data is
// not modelled, so its handle holds neither and nothing truncates it.
HANDLE openLinkItself(const std::string& host, DWORD access, DWORD disposition, DWORD flags) {
    struct stat own;
    lstat(host.c_str(), &own);
    DWORD attributes = entryAttributes(host, own);
    DWORD error = 0;
    if (disposition == CREATE_NEW)
        error = ERROR_FILE_EXISTS;
    else if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)
        error = ERROR_ACCESS_DENIED;
    // A directory, link or not, opens only for backup semantics.
    else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(flags & FILE_FLAG_BACKUP_SEMANTICS))
        error = ERROR_ACCESS_DENIED;
    else if ((accessOf(access).write || accessOf(access).del) && !fileWriteAllowed(host))
        error = ERROR_ACCESS_DENIED;
    if (error) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    int fd = open(host.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errnoToError(errno, host));
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = addHandle(std::make_unique<FileObject>(fd, Wants{}, attributes, std::string()));
    SetLastError(disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

}  // namespace

DWORD hostError(int err, const std::string& host) { return errnoToError(err, host); }

DWORD fileAttributesOf(const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

DWORD entryAttributes(const std::string& host, const struct stat& own) {
    if (!S_ISLNK(own.st_mode)) return fileAttributesOf(own);
    struct stat target;
    bool directory = stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    return FILE_ATTRIBUTE_REPARSE_POINT | (directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
}

void fillTimes(const struct stat& st, FILETIME* creation, FILETIME* access, FILETIME* write) {
    if (creation) *creation = toFileTime(st.st_mtim);
    if (access) *access = toFileTime(st.st_atim);
    if (write) *write = toFileTime(st.st_mtim);
}

}  // namespace plxsim

using namespace plxsim;

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
    ApiCall call("CreateFileW", lpFileName);
    if (call.fault()) return call.fail(INVALID_HANDLE_VALUE);
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string host;
    if (!resolve(lpFileName, host)) return INVALID_HANDLE_VALUE;
    struct stat own;
    if ((dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) && lstat(host.c_str(), &own) == 0 && S_ISLNK(own.st_mode))
        return openLinkItself(host, dwDesiredAccess, dwCreationDisposition, dwFlagsAndAttributes);
    Wants w = accessOf(dwDesiredAccess);
    // Deleting on close takes delete access: the file's other handles must share deleting.
    const bool deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    w.del = w.del || deleteOnClose;
    if (dwCreationDisposition == TRUNCATE_EXISTING && !w.write) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    struct stat st;
    bool existed = stat(host.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) {
        SetLastError(dwCreationDisposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (existed && dwCreationDisposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    if (!existed && (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING)) {
        SetLastError(missingPathError(host));
        return INVALID_HANDLE_VALUE;
    }
    bool creates = !existed;
    bool truncates = existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING);
    if ((w.write || w.del || creates || truncates) && !fileWriteAllowed(host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // A read-only file refuses writing, and deleting on close, even to a
    // process the host would let through (one running as root).
    if (existed && (w.write || truncates || deleteOnClose) && !(st.st_mode & S_IWUSR)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // The image another program has loaded must not change under it.
    if (existed && (w.write || truncates) && fileLoaded(st)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }

    int flags = O_CLOEXEC | ((w.write || truncates) ? O_RDWR : O_RDONLY);
    if (creates) flags |= O_CREAT | O_EXCL;
    int fd = open(host.c_str(), flags, 0644);
    if (fd < 0 && creates && errno == EEXIST) {
        // Created by someone else in the meantime: open what is there now.
        if (dwCreationDisposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        existed = true;
        creates = false;
        truncates = dwCreationDisposition == CREATE_ALWAYS;
        fd = open(host.c_str(), flags & ~(O_CREAT | O_EXCL), 0644);
    }
    if (fd < 0) {
        SetLastError(errnoToError(errno, host));
        return INVALID_HANDLE_VALUE;
    }
    if (existed && sharingConflict(fd, w, dwShareMode)) {
        close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    takeMarkers(fd, w, dwShareMode);
    if (truncates && ftruncate(fd, 0) != 0) {
        DWORD error = errnoToError(errno, host);
        close(fd);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = addHandle(std::make_unique<FileObject>(fd, w, 0, deleteOnClose ? host : std::string()));
    // An existing file opened by OPEN_ALWAYS or CREATE_ALWAYS says so.
    SetLastError(existed && (dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPVOID /*lpOverlapped*/) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    ApiCall call("ReadFile");
    if (call.fault()) return call.fail(FALSE);
    FileObject* file = findHandleAs<FileObject>(hFile);
    if (!file) return fail(ERROR_INVALID_HANDLE);
    if (!file->wants().read) return fail(ERROR_ACCESS_DENIED);
    if (!lpBuffer && nNumberOfBytesToRead) return fail(ERROR_NOACCESS);
    DWORD done = 0;
    while (done < nNumberOfBytesToRead) {
        ssize_t n = read(file->fd(), static_cast<char*>(lpBuffer) + done, nNumberOfBytesToRead - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(ERROR_ACCESS_DENIED);
        if (n == 0) break;  // end of file: success with fewer bytes
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPVOID /*lpOverlapped*/) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    ApiCall call("WriteFile");
    if (call.fault()) return call.fail(FALSE);
    FileObject* file = findHandleAs<FileObject>(hFile);
    if (!file) return fail(ERROR_INVALID_HANDLE);
    if (!file->wants().write) return fail(ERROR_ACCESS_DENIED);
    if (!lpBuffer && nNumberOfBytesToWrite) return fail(ERROR_NOACCESS);
    DWORD done = 0;
    while (done < nNumberOfBytesToWrite) {
        ssize_t n = write(file->fd(), static_cast<const char*>(lpBuffer) + done, nNumberOfBytesToWrite - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
            return fail(errno == ENOSPC || errno == EDQUOT ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
        }
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    ApiCall call("SetFilePointer");
    if (call.fault()) return call.fail(INVALID_SET_FILE_POINTER);
    FileObject* file = findHandleAs<FileObject>(hFile);
    if (!file || file->linkItself()) {
        SetLastError(file ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t distance =
        lpDistanceToMoveHigh
            ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                   static_cast<uint32_t>(lDistanceToMove))
            : static_cast<int64_t>(lDistanceToMove);
    int whence = dwMoveMethod == FILE_BEGIN     ? SEEK_SET
                 : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
                 : dwMoveMethod == FILE_END     ? SEEK_END
                                                : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t current = lseek(file->fd(), 0, SEEK_CUR);
    off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? current : lseek(file->fd(), 0, SEEK_END);
    int64_t target = static_cast<int64_t>(base) + distance;
    if (target < 0) {
        lseek(file->fd(), current, SEEK_SET);
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && target > 0xFFFFFFFELL) {
        // Without a high part the result could not be told from the error value.
        lseek(file->fd(), current, SEEK_SET);
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    lseek(file->fd(), static_cast<off_t>(target), SEEK_SET);
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    DWORD low = static_cast<DWORD>(target);
    // A low part that equals INVALID_SET_FILE_POINTER is told apart by the last error.
    if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
    return low;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    ApiCall call("GetFileSize");
    if (call.fault()) return call.fail(INVALID_FILE_SIZE);
    FileObject* file = findHandleAs<FileObject>(hFile);
    struct stat st;
    if (!file || fstat(file->fd(), &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = file->linkItself() ? 0 : static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
    return static_cast<DWORD>(size);
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
    ApiCall call("GetFileInformationByHandle");
    if (call.fault()) return call.fail(FALSE);
    FileObject* file = findHandleAs<FileObject>(hFile);
    struct stat st;
    if (!file || fstat(file->fd(), &st) != 0) return fail(ERROR_INVALID_HANDLE);
    if (!lpFileInformation) return fail(ERROR_NOACCESS);
    BY_HANDLE_FILE_INFORMATION& info = *lpFileInformation;
    info.dwFileAttributes = file->linkItself() ? file->linkAttributes() : fileAttributesOf(st);
    fillTimes(st, &info.ftCreationTime, &info.ftLastAccessTime, &info.ftLastWriteTime);
    // One serial per host file system, as Windows has one per volume.
    uint64_t device = static_cast<uint64_t>(st.st_dev);
    info.dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
    uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    info.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info.nFileSizeLow = static_cast<DWORD>(size);
    info.nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    uint64_t index = static_cast<uint64_t>(st.st_ino);
    info.nFileIndexHigh = static_cast<DWORD>(index >> 32);
    info.nFileIndexLow = static_cast<DWORD>(index);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    ApiCall call("CloseHandle");
    if (call.fault()) return call.fail(FALSE);
    // The current process's pseudo handle (which equals INVALID_HANDLE_VALUE) closes without effect.
    if (hObject == GetCurrentProcess()) return TRUE;
    if (!removeHandle(hObject)) return fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

namespace plxsim {
namespace {

// CopyFileW's work; a cut copy writes only the first half of the source and
// leaves the destination as it is then.
BOOL copyFile(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists, bool cut) {
    std::string from, to;
    if (!resolve(lpExistingFileName, from) || !resolve(lpNewFileName, to)) return FALSE;
    struct stat st;
    if (stat(from.c_str(), &st) != 0) return fail(missingPathError(from));
    if (S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
    struct stat target;
    bool targetExists = stat(to.c_str(), &target) == 0;
    // A file copied onto itself would be truncated before it is read.
    if (targetExists && target.st_dev == st.st_dev && target.st_ino == st.st_ino) return fail(ERROR_SHARING_VIOLATION);
    if (targetExists && bFailIfExists) return fail(ERROR_FILE_EXISTS);
    if (targetExists && (S_ISDIR(target.st_mode) || !(target.st_mode & S_IWUSR))) return fail(ERROR_ACCESS_DENIED);
    if (targetExists && fileLoaded(target)) return fail(ERROR_SHARING_VIOLATION);
    if (!fileWriteAllowed(to)) return fail(ERROR_ACCESS_DENIED);
    if (!openableNow(from, Wants{true, false, false})) return fail(ERROR_SHARING_VIOLATION);
    if (targetExists && !openableNow(to, Wants{false, true, false})) return fail(ERROR_SHARING_VIOLATION);

    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail(errnoToError(errno, from));
    int out =
        open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (bFailIfExists ? O_EXCL : 0), st.st_mode & 0777);
    if (out < 0) {
        DWORD error = errnoToError(errno, to);
        close(in);
        return fail(error);
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    bool ok = copyData(in, out, cut ? size / 2 : UINT64_MAX);
    if (cut) {
        close(in);
        close(out);
        return ok;
    }
    DWORD error = ok ? 0 : (errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
    // CopyFile keeps the last write time and the attributes of the source.
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
    fchmod(out, st.st_mode & 0777);
    close(in);
    if (close(out) != 0 && ok) {
        ok = false;
        error = ERROR_DISK_FULL;
    }
    if (!ok) {
        unlink(to.c_str());
        return fail(error);
    }
    return TRUE;
}

}  // namespace
}  // namespace plxsim

BOOL WINAPI CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
    ApiCall call("CopyFileW", lpExistingFileName, lpNewFileName);
    if (call.fault()) return call.fail(FALSE);
    if (call.cut()) {
        copyFile(lpExistingFileName, lpNewFileName, bFailIfExists, true);
        endProcess();
    }
    return copyFile(lpExistingFileName, lpNewFileName, bFailIfExists, false);
}

BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    ApiCall call("MoveFileExW", lpExistingFileName, lpNewFileName);
    if (call.fault()) return call.fail(FALSE);
    std::string from, to;
    if (!resolve(lpExistingFileName, from)) return FALSE;
    if (!lpNewFileName) return fail(ERROR_INVALID_PARAMETER);  // delete on reboot is not supported
    if (!resolve(lpNewFileName, to)) return FALSE;
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) return fail(missingPathError(from));
    if (!fileWriteAllowed(from) || !fileWriteAllowed(to)) return fail(ERROR_ACCESS_DENIED);
    struct stat target;
    bool targetExists = lstat(to.c_str(), &target) == 0;
    // The same directory entry, perhaps named in another case; another hard
    // link of the file is another entry.
    bool sameEntry = targetExists && to == from;
    if (targetExists && !sameEntry) {
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) return fail(ERROR_ALREADY_EXISTS);
        if (S_ISDIR(target.st_mode) || S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
        // Replacing deletes the file there, which Windows refuses for a
        // read-only one and for an image another program has loaded.
        if (!(target.st_mode & S_IWUSR) || fileLoaded(target)) return fail(ERROR_ACCESS_DENIED);
        if (!openableNow(to, Wants{false, false, true})) return fail(ERROR_ACCESS_DENIED);
    }
    if (!S_ISDIR(st.st_mode) && !openableNow(from, Wants{false, false, true})) return fail(ERROR_SHARING_VIOLATION);
    // Onto another name of the same file the old name goes (rename(2) would keep both).
    if (targetExists && !sameEntry && target.st_ino == st.st_ino && target.st_dev == st.st_dev)
        return unlink(from.c_str()) == 0 ? TRUE : fail(errnoToError(errno, from));
    if (sameEntry) {
        // Renaming to another case of the same name takes the new case.
        std::u16string given = toU16(lpNewFileName);
        size_t slash = given.find_last_of(u"\\/");
        std::string name = toUtf8(given.substr(slash == std::u16string::npos ? 0 : slash + 1));
        to = to.substr(0, to.find_last_of('/') + 1) + name;
        if (name.empty() || to == from) return TRUE;
    }
    if (rename(from.c_str(), to.c_str()) == 0) return TRUE;
    if (errno != EXDEV) return fail(errnoToError(errno, to));
    if (!(dwFlags & MOVEFILE_COPY_ALLOWED) || S_ISDIR(st.st_mode)) return fail(ERROR_NOT_SAME_DEVICE);
    if (!CopyFileW(lpExistingFileName, lpNewFileName, FALSE)) return FALSE;
    if (unlink(from.c_str()) != 0) return fail(errnoToError(errno, from));
    return TRUE;
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
    ApiCall call("DeleteFileW", lpFileName);
    if (call.fault()) return call.fail(FALSE);
    std::string host;
    if (!resolve(lpFileName, host)) return FALSE;
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) return fail(missingPathError(host));
    // A link to a directory is a directory: RemoveDirectoryW removes it.
    if (entryAttributes(host, st) & FILE_ATTRIBUTE_DIRECTORY) return fail(ERROR_ACCESS_DENIED);
    // Windows does not delete read-only files.
    if (!fileWriteAllowed(host) || !(st.st_mode & S_IWUSR) || fileLoaded(st)) return fail(ERROR_ACCESS_DENIED);
    if (!openableNow(host, Wants{false, false, true})) return fail(ERROR_SHARING_VIOLATION);
    if (unlink(host.c_str()) != 0) return fail(errnoToError(errno, host));
    return TRUE;
}

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/) {
    ApiCall call("CreateDirectoryW", lpPathName);
    if (call.fault()) return call.fail(FALSE);
    std::string host;
    if (!resolve(lpPathName, host)) return FALSE;
    struct stat st;
    if (lstat(host.c_str(), &st) == 0) return fail(ERROR_ALREADY_EXISTS);
    if (missingPathError(host) == ERROR_PATH_NOT_FOUND) return fail(ERROR_PATH_NOT_FOUND);
    if (!fileWriteAllowed(host)) return fail(ERROR_ACCESS_DENIED);
    if (mkdir(host.c_str(), 0755) != 0) return fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : errnoToError(errno, host));
    return TRUE;
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName) {
    ApiCall call("RemoveDirectoryW", lpPathName);
    if (call.fault()) return call.fail(FALSE);
    std::string host;
    if (!resolve(lpPathName, host)) return FALSE;
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) return fail(missingPathError(host));
    if (!(entryAttributes(host, st) & FILE_ATTRIBUTE_DIRECTORY)) return fail(ERROR_DIRECTORY);
    if (!fileWriteAllowed(host)) return fail(ERROR_ACCESS_DENIED);
    // A link to a directory goes, and what its target holds stays.
    if ((S_ISLNK(st.st_mode) ? unlink(host.c_str()) : rmdir(host.c_str())) != 0) return fail(errnoToError(errno, host));
    return TRUE;
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    ApiCall call("GetFileAttributesW", lpFileName);
    if (call.fault()) return call.fail(INVALID_FILE_ATTRIBUTES);
    std::string host;
    if (!resolve(lpFileName, host)) return INVALID_FILE_ATTRIBUTES;
    // A link reports its own attributes, as Windows reports a reparse point's.
    struct stat st;
    bool link = lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    if (!link && stat(host.c_str(), &st) != 0) {
        SetLastError(missingPathError(host));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = entryAttributes(host, st);
    // "file.txt\" names a directory that is not there.
    std::u16string given = toU16(lpFileName);
    bool trailingSeparator = !given.empty() && (given.back() == u'\\' || given.back() == u'/');
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && trailingSeparator) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributes;
}

BOOL WINAPI SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
    ApiCall call("SetFileAttributesW", lpFileName);
    if (call.fault()) return call.fail(FALSE);
    std::string host;
    if (!resolve(lpFileName, host)) return FALSE;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) return fail(missingPathError(host));
    if (!fileWriteAllowed(host)) return fail(ERROR_ACCESS_DENIED);
    // Only the read-only attribute is kept, as the host's write permission;
    // a directory's read-only attribute does not keep anything out on Windows.
    if (S_ISDIR(st.st_mode)) return TRUE;
    mode_t mode = (dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? (st.st_mode & ~mode_t(0222)) : (st.st_mode | S_IWUSR);
    if (chmod(host.c_str(), mode & 07777) != 0) return fail(errnoToError(errno, host));
    return TRUE;
}
