// The shell's folders (shell32's SHGetFolderPathW) of the simulated machine.
// Only CSIDL_COMMON_APPDATA is known; any other CSIDL is answered as Windows
// answers one it does not know, E_INVALIDARG.
#include "internal.h"

#include <sys/stat.h>

#include <cerrno>

namespace {

bool isDirectory(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the directory and any missing ones above it.
bool makeDirectories(const std::string& host) {
    if (isDirectory(host)) return true;
    size_t slash = host.find_last_of('/');
    if (slash == std::string::npos || slash == 0 || !makeDirectories(host.substr(0, slash))) return false;
    return plxsim::fileWriteAllowed(host) && (mkdir(host.c_str(), 0755) == 0 || errno == EEXIST);
}

}  // namespace

HRESULT WINAPI SHGetFolderPathW(HWND /*hwnd*/, int csidl, HANDLE /*hToken*/, DWORD /*dwFlags*/, LPWSTR pszPath) {
    if (!pszPath) return E_INVALIDARG;
    // On failure the path is empty.
    pszPath[0] = 0;
    plxsim::ApiCall call("SHGetFolderPathW", plxsim::CallSubject::hex(static_cast<DWORD>(csidl)));
    if (call.fault()) return call.hresult();
    if ((csidl & ~CSIDL_FLAG_MASK) != CSIDL_COMMON_APPDATA) return E_INVALIDARG;
    // Nothing on this machine redirects the folder, so its current path is its default one.
    const plxsim::MachineConfig& config = plxsim::machine();
    const std::u16string folder =
        config.versionMajor >= 6 ? u"C:\\ProgramData" : u"C:\\Documents and Settings\\All Users\\Application Data";
    std::string host;
    DWORD error = 0;
    if (!plxsim::hostPath(folder.c_str(), host, &error)) return E_FAIL;
    // A folder that is not there is created only when asked; the Unicode function then fails with E_FAIL.
    if (!isDirectory(host) && !((csidl & CSIDL_FLAG_CREATE) && makeDirectories(host))) return E_FAIL;
    folder.copy(pszPath, folder.size());
    pszPath[folder.size()] = 0;
    return S_OK;
}
