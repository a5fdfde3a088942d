// Hard and symbolic links: CreateHardLinkW and CreateSymbolicLinkW make the
// host's own links, so that the host's names and inodes are the machine's.
// A host symbolic link is a reparse point to the rest of the machine
// (GetFileAttributesW, searches, FILE_FLAG_OPEN_REPARSE_POINT).
#include "internal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace plxsim {
namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::vector<std::string> components(const std::string& host) {
    std::vector<std::string> parts;
    size_t from = 1;
    while (from <= host.size()) {
        size_t slash = host.find('/', from);
        if (slash == std::string::npos) slash = host.size();
        if (slash > from) parts.push_back(host.substr(from, slash - from));
        from = slash + 1;
    }
    return parts;
}

// The host path of target relative to the directory dir (both absolute).
std::string relativeTo(const std::string& dir, const std::string& target) {
    std::vector<std::string> from = components(dir), to = components(target);
    size_t common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;
    std::string relative;
    for (size_t i = common; i < from.size(); ++i) relative += "../";
    for (size_t i = common; i < to.size(); ++i) relative += to[i] + (i + 1 < to.size() ? "/" : "");
    return relative.empty() ? "." : relative;
}

// The host form of a link's target.  A target with a drive ("C:\\x", and
// "C:x", which Windows makes absolute too) is an absolute host path; any
// other ("..\\x", "x", "\\x" on the link's own drive) stays relative to the
// link's directory linkDir (a host path), with the names matched as they are
// on disk.
bool hostTarget(const std::u16string& link, const std::string& linkDir, const std::u16string& target, std::string& host,
                DWORD& error) {
    std::u16string full, linkFull;
    if (target.size() >= 2 && target[1] == u':')
        return fullWindowsPath(target.c_str(), full, &error) && hostPath(full.c_str(), host, &error);
    if (!fullWindowsPath(link.c_str(), linkFull, &error)) return false;
    std::u16string joined = target[0] == u'\\' ? linkFull.substr(0, 2) + target
                                               : linkFull.substr(0, linkFull.find_last_of(u'\\') + 1) + target;
    std::string targetHost;
    if (!fullWindowsPath(joined.c_str(), full, &error) || !hostPath(full.c_str(), targetHost, &error)) return false;
    host = relativeTo(linkDir, targetHost);
    return true;
}

}  // namespace
}  // namespace plxsim

using namespace plxsim;

BOOL WINAPI CreateHardLinkW(LPCWSTR lpFileName, LPCWSTR lpExistingFileName,
                            LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/) {
    ApiCall call("CreateHardLinkW", lpFileName, lpExistingFileName);
    if (call.fault()) return call.fail(FALSE);
    std::string link, existing;
    DWORD error = 0;
    if (!hostPath(lpExistingFileName, existing, &error) || !hostPath(lpFileName, link, &error)) return fail(error);
    struct stat st;
    if (lstat(existing.c_str(), &st) != 0) return fail(missingPathError(existing));
    // Only files have more than one name.
    if (entryAttributes(existing, st) & FILE_ATTRIBUTE_DIRECTORY) return fail(ERROR_ACCESS_DENIED);
    if (lstat(link.c_str(), &st) == 0) return fail(ERROR_ALREADY_EXISTS);
    if (missingPathError(link) == ERROR_PATH_NOT_FOUND) return fail(ERROR_PATH_NOT_FOUND);
    if (!fileWriteAllowed(link)) return fail(ERROR_ACCESS_DENIED);
    if (::link(existing.c_str(), link.c_str()) != 0) return fail(hostError(errno, link));
    return TRUE;
}

BOOLEAN WINAPI CreateSymbolicLinkW(LPCWSTR lpSymlinkFileName, LPCWSTR lpTargetFileName, DWORD dwFlags) {
    ApiCall call("CreateSymbolicLinkW", lpSymlinkFileName, lpTargetFileName);
    if (call.fault()) return call.fail(BOOLEAN(FALSE));
    // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE is known from Windows 10 on,
    // where it still needs developer mode, which this machine does not have.
    const MachineConfig& config = machine();
    DWORD known = SYMBOLIC_LINK_FLAG_DIRECTORY | (config.versionMajor >= 10 ? 0x2 : 0);
    if ((dwFlags & ~known) || !lpTargetFileName || !lpTargetFileName[0]) return fail(ERROR_INVALID_PARAMETER);
    // SeCreateSymbolicLinkPrivilege: administrators hold it, standard users do not.
    if (!config.administrator) return fail(ERROR_PRIVILEGE_NOT_HELD);
    std::string link, target;
    DWORD error = 0;
    if (!hostPath(lpSymlinkFileName, link, &error)) return fail(error);
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) return fail(ERROR_ALREADY_EXISTS);
    if (missingPathError(link) == ERROR_PATH_NOT_FOUND) return fail(ERROR_PATH_NOT_FOUND);
    std::u16string given = toU16(lpTargetFileName);
    for (char16_t& c : given)
        if (c == u'/') c = u'\\';
    if (!hostTarget(toU16(lpSymlinkFileName), link.substr(0, link.find_last_of('/')), given, target, error))
        return fail(error);
    // The host keeps no directory flag: a link is a directory one when its target is a directory.
    if (symlink(target.c_str(), link.c_str()) != 0) return fail(hostError(errno, link));
    return TRUE;
}
