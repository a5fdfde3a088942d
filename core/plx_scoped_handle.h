// CPLXScopedHandle: the one owner of a Windows handle, closed when the owner
// goes out of scope or is reset.  A traits class per kind of handle says
// which values are no handle and how one is closed:
//
//     typedef HANDLE Handle;
//     static Handle invalid();          // what an empty owner holds
//     static bool isValid(Handle h);    // whether h is closed at all
//     static bool close(Handle h);      // true when the close succeeded
//
// Closing keeps the thread's last-error value and errno: the error of the
// call that failed is still there after the handles it used are gone.
#ifndef PLX_SCOPED_HANDLE_H
#define PLX_SCOPED_HANDLE_H

#include "plx_error_state_guard.h"
#include "plx_win32.h"

template <class Traits>
class CPLXScopedHandle {
public:
    typedef typename Traits::Handle Handle;

    CPLXScopedHandle() : m_handle(Traits::invalid()) {}
    // Takes h, whatever it is: a value that is no handle is kept but never closed.
    explicit CPLXScopedHandle(Handle h) : m_handle(h) {}
    ~CPLXScopedHandle() { reset(); }
    CPLXScopedHandle(CPLXScopedHandle&& other) noexcept : m_handle(other.release()) {}
    CPLXScopedHandle& operator=(CPLXScopedHandle&& other) {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    CPLXScopedHandle(const CPLXScopedHandle&) = delete;
    CPLXScopedHandle& operator=(const CPLXScopedHandle&) = delete;

    Handle get() const { return m_handle; }
    bool isValid() const { return Traits::isValid(m_handle); }

    // Gives the handle up without closing it.
    Handle release() {
        const Handle h = m_handle;
        m_handle = Traits::invalid();
        return h;
    }

    // Closes the handle held and takes h.  False when the close failed: the
    // handle is given up all the same, as a failed close leaves nothing to retry.
    bool reset(Handle h = Traits::invalid()) {
        const Handle old = m_handle;
        m_handle = h;
        if (old == h || !Traits::isValid(old)) {
            return true;
        }
        CPLXErrorStateGuard keepErrors;
        return Traits::close(old);
    }

    // Where a call that hands out a handle through a pointer writes it; what
    // was held is closed first.
    Handle* out() {
        reset();
        return &m_handle;
    }

private:
    Handle m_handle;
};

// Kernel objects: files, mutexes, processes.  Their functions answer a
// failure with NULL or with INVALID_HANDLE_VALUE, which is also the current
// process's pseudo-handle: neither is closed.
struct CPLXKernelHandleTraits {
    typedef HANDLE Handle;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool close(Handle h) { return CloseHandle(h) != FALSE; }
};

// Access tokens are kernel objects too; their own kind keeps a token from
// being handed to a file's owner.
struct CPLXTokenTraits : CPLXKernelHandleTraits {};

// FindFirstFileW's searches: INVALID_HANDLE_VALUE when nothing was found.
struct CPLXFindHandleTraits {
    typedef HANDLE Handle;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool close(Handle h) { return FindClose(h) != FALSE; }
};

// Registry keys.  The predefined keys, HKEY_CLASSES_ROOT (0x80000000) up to
// HKEY_PERFORMANCE_NLSTEXT (0x80000060), belong to the process and are never
// closed: RegOpenKeyExW hands back the root itself for an empty subkey.
struct CPLXRegKeyTraits {
    typedef HKEY Handle;
    static Handle invalid() { return nullptr; }
    static bool isPredefined(Handle h) {
        // Below the first predefined key the difference wraps around.
        return reinterpret_cast<ULONG_PTR>(h) - reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) <= 0x60;
    }
    static bool isValid(Handle h) { return h != nullptr && !isPredefined(h); }
    static bool close(Handle h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};

// Libraries loaded with LoadLibrary(Ex)W; GetModuleHandleW's modules take no
// reference and have no owner.
struct CPLXModuleTraits {
    typedef HMODULE Handle;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static bool close(Handle h) { return FreeLibrary(h) != FALSE; }
};

typedef CPLXScopedHandle<CPLXKernelHandleTraits> CPLXScopedKernelHandle;
typedef CPLXScopedHandle<CPLXTokenTraits> CPLXScopedToken;
typedef CPLXScopedHandle<CPLXFindHandleTraits> CPLXScopedFindHandle;
typedef CPLXScopedHandle<CPLXRegKeyTraits> CPLXScopedRegKey;
typedef CPLXScopedHandle<CPLXModuleTraits> CPLXScopedModule;

#endif
