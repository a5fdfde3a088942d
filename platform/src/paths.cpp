// The simulated machine's paths: Windows paths made full, mapped onto the
// machine's directory and back, and the process's current directory.
#include "internal.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace plxsim {

namespace {

std::mutex& cwdLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}
// Set by SetCurrentDirectoryW; until then the host's working directory counts.
std::u16string& explicitCwd() {
    static std::u16string* cwd = new std::u16string;
    return *cwd;
}

std::u16string currentDirectory() {
    {
        std::lock_guard<std::mutex> guard(cwdLock());
        if (!explicitCwd().empty()) return explicitCwd();
    }
    char host[PATH_MAX];
    if (!getcwd(host, sizeof host)) return u"C:\\";
    return windowsPath(host);
}

bool isLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
char16_t upperLetter(char16_t c) { return c >= u'a' ? static_cast<char16_t>(c - 32) : c; }

bool isDirectory(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry of directory dir whose name equals name case-insensitively
// (an exact match wins); name itself when there is none.
std::string matchEntry(const std::string& dir, const std::string& name) {
    std::string exact = (dir == "/" ? "" : dir) + "/" + name;
    struct stat st;
    if (lstat(exact.c_str(), &st) == 0) return name;
    std::u16string wanted = fromUtf8(name);
    std::string found = name;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (equalNoCase(fromUtf8(e->d_name), wanted)) {
                found = e->d_name;
                break;
            }
        }
        closedir(d);
    }
    return found;
}

bool validComponent(const std::u16string& name) {
    for (char16_t c : name)
        if (c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
            return false;
    return true;
}

// The length of the root of a path with backslashes: 2 for "C:", the length of
// "\\server\share" for a network path; 0 when it has neither.
size_t rootLength(const std::u16string& p) {
    if (p.size() >= 2 && isLetter(p[0]) && p[1] == u':') return 2;
    if (p.compare(0, 2, u"\\\\") != 0) return 0;
    size_t server = p.find(u'\\', 2);
    if (server == std::u16string::npos || server == 2) return 0;
    size_t share = p.find(u'\\', server + 1);
    if (share == std::u16string::npos) share = p.size();
    return share == server + 1 ? 0 : share;
}

bool startsWithDir(const std::u16string& path, const std::u16string& dir) {
    return path.size() >= dir.size() && equalNoCase(path.substr(0, dir.size()), dir) &&
           (path.size() == dir.size() || path[dir.size()] == u'\\');
}

// WOW64's file system redirector: the 32-bit program's C:\Windows\System32
// is C:\Windows\SysWOW64 on an x64 machine, but for the folders that both
// kinds of program share.
void redirectSystem32(std::u16string& full) {
    const MachineConfig& config = machine();
    const std::u16string system32 = u"C:\\Windows\\System32";
    if (!config.x64 || !startsWithDir(full, system32)) return;
    static const char16_t* const kShared[] = {u"catroot", u"catroot2", u"drivers\\etc", u"logfiles", u"spool"};
    for (const char16_t* shared : kShared)
        if (startsWithDir(full, system32 + u"\\" + shared)) return;
    // From Windows 7 on the driver store is shared too.
    if (config.versionMajor * 100 + config.versionMinor >= 601 && startsWithDir(full, system32 + u"\\DriverStore"))
        return;
    full.replace(0, system32.size(), u"C:\\Windows\\SysWOW64");
}

}  // namespace

bool fullWindowsPath(LPCWSTR path, std::u16string& full, DWORD* error) {
    auto fail = [&](DWORD code) {
        if (error) *error = code;
        return false;
    };
    std::u16string p = toU16(path);
    for (char16_t& c : p)
        if (c == u'/') c = u'\\';
    if (p.compare(0, 4, u"\\\\?\\") == 0 || p.compare(0, 4, u"\\\\.\\") == 0) {
        p.erase(0, 4);
        if (p.size() >= 4 && equalNoCase(p.substr(0, 4), u"UNC\\")) p = u"\\" + p.substr(3);
    }
    if (p.empty()) return fail(ERROR_PATH_NOT_FOUND);

    std::u16string absolute;
    size_t root = 2;
    if (p.compare(0, 2, u"\\\\") == 0) {
        // \\server\share\...: a network share.
        root = rootLength(p);
        if (root == 0) return fail(ERROR_BAD_PATHNAME);
        absolute = p;
    } else if (p.size() >= 2 && isLetter(p[0]) && p[1] == u':') {
        char16_t drive = upperLetter(p[0]);
        std::u16string rest = p.substr(2);
        if (!rest.empty() && rest[0] == u'\\') {
            absolute = std::u16string(1, drive) + u":" + rest;
        } else {
            std::u16string cwd = currentDirectory();
            std::u16string base = upperLetter(cwd[0]) == drive ? cwd : std::u16string(1, drive) + u":\\";
            absolute = base + u"\\" + rest;
        }
    } else if (p[0] == u'\\') {
        const std::u16string cwd = currentDirectory();
        root = rootLength(cwd);
        absolute = cwd.substr(0, root) + p;
    } else {
        const std::u16string cwd = currentDirectory();
        root = rootLength(cwd);
        absolute = cwd + u"\\" + p;
    }

    std::vector<std::u16string> parts;
    size_t pos = root + 1;
    while (pos <= absolute.size()) {
        size_t next = absolute.find(u'\\', pos);
        if (next == std::u16string::npos) next = absolute.size();
        std::u16string part = absolute.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();  // ".." above the root stays at the root, as on Windows
            continue;
        }
        parts.push_back(part);
    }
    full = absolute.substr(0, root) + u"\\";
    for (size_t i = 0; i < parts.size(); ++i) full += (i ? u"\\" : u"") + parts[i];
    return true;
}

bool hostPath(LPCWSTR path, std::string& host, DWORD* error) {
    std::u16string full;
    if (!fullWindowsPath(path, full, error)) return false;
    redirectSystem32(full);
    auto fail = [&](DWORD code) {
        if (error) *error = code;
        return false;
    };
    char16_t drive = upperLetter(full[0]);
    std::string dir;
    size_t pos = 3;
    if (drive == u'\\') {
        // A share of the network lies in the machine's unc/<server>/<share>.
        const size_t root = rootLength(full);
        const size_t server = full.find(u'\\', 2);
        const std::u16string names[2] = {full.substr(2, server - 2), full.substr(server + 1, root - server - 1)};
        dir = machine().dir + "/unc";
        for (int i = 0; i < 2; ++i) {
            if (!validComponent(names[i])) return fail(ERROR_BAD_PATHNAME);
            dir += "/" + matchEntry(dir, toUtf8(names[i]));
            if (!isDirectory(dir)) return fail(i == 0 ? ERROR_BAD_NETPATH : ERROR_BAD_NET_NAME);
        }
        pos = root + 1;
    } else if (drive == u'Z') {
        dir = "/";
    } else {
        dir = machine().dir + "/drive_" + static_cast<char>(drive - u'A' + 'a');
        if (!isDirectory(dir)) return fail(ERROR_PATH_NOT_FOUND);
    }
    bool exists = true;
    while (pos < full.size()) {
        size_t next = full.find(u'\\', pos);
        if (next == std::u16string::npos) next = full.size();
        std::u16string part = full.substr(pos, next - pos);
        pos = next + 1;
        // Windows drops trailing dots and blanks of a name.
        while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
        if (part.empty() || !validComponent(part)) return fail(ERROR_INVALID_NAME);
        std::string name = toUtf8(part);
        if (exists) {
            name = matchEntry(dir, name);
            exists = isDirectory((dir == "/" ? "" : dir) + "/" + name);
        }
        dir = (dir == "/" ? "" : dir) + "/" + name;
    }
    host = dir;
    return true;
}

std::u16string windowsPath(const std::string& hostIn) {
    std::string host = hostIn;
    if (host.empty() || host[0] != '/') {
        char cwd[PATH_MAX];
        host = std::string(getcwd(cwd, sizeof cwd) ? cwd : "/") + "/" + host;
    }
    // Lexical normalization of the host path.
    std::vector<std::string> parts;
    std::istringstream in(host);
    std::string part;
    while (std::getline(in, part, '/')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string normal;
    for (const std::string& p : parts) normal += "/" + p;
    if (normal.empty()) normal = "/";

    auto toWindows = [](char16_t drive, const std::string& rest) {
        std::u16string out = std::u16string(1, drive) + u":\\";
        std::u16string r = fromUtf8(rest);
        for (char16_t& c : r)
            if (c == u'/') c = u'\\';
        if (!r.empty() && r[0] == u'\\') r.erase(0, 1);
        return out + r;
    };
    std::vector<std::string> roots{machine().dir};
    char real[PATH_MAX];
    if (realpath(machine().dir.c_str(), real) && roots[0] != real) roots.push_back(real);
    for (const std::string& root : roots) {
        // unc/<server>/<share>/... is \\server\share\...
        const std::string unc = root + "/unc/";
        if (normal.compare(0, unc.size(), unc) == 0) {
            std::u16string r = fromUtf8(normal.substr(unc.size()));
            for (char16_t& c : r)
                if (c == u'/') c = u'\\';
            if (r.find(u'\\') != std::u16string::npos) return u"\\\\" + r;
        }
        std::string prefix = root + "/drive_";
        if (normal.compare(0, prefix.size(), prefix) != 0 || normal.size() < prefix.size() + 1) continue;
        char letter = normal[prefix.size()];
        if (letter < 'a' || letter > 'y') continue;
        size_t after = prefix.size() + 1;
        if (after != normal.size() && normal[after] != '/') continue;
        return toWindows(static_cast<char16_t>(letter - 'a' + 'A'), normal.substr(after));
    }
    return toWindows(u'Z', normal);
}

DWORD missingPathError(const std::string& host) {
    size_t slash = host.find_last_of('/');
    std::string parent = slash == 0 ? "/" : host.substr(0, slash);
    return isDirectory(parent) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace plxsim

// ------------------------------------------------------------------ current directory

DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
    plxsim::ApiCall call("GetCurrentDirectoryW");
    if (call.fault()) return call.fail(0);
    std::u16string cwd = plxsim::currentDirectory();
    if (nBufferLength <= cwd.size() || !lpBuffer) return static_cast<DWORD>(cwd.size() + 1);
    cwd.copy(lpBuffer, cwd.size());
    lpBuffer[cwd.size()] = 0;
    return static_cast<DWORD>(cwd.size());
}

BOOL WINAPI SetCurrentDirectoryW(LPCWSTR lpPathName) {
    plxsim::ApiCall call("SetCurrentDirectoryW", lpPathName);
    if (call.fault()) return call.fail(FALSE);
    std::u16string full;
    std::string host;
    DWORD error = 0;
    if (!plxsim::fullWindowsPath(lpPathName, full, &error) || !plxsim::hostPath(full.c_str(), host, &error)) {
        SetLastError(error);
        return FALSE;
    }
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        SetLastError(plxsim::missingPathError(host));
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(plxsim::cwdLock());
    plxsim::explicitCwd() = full;
    return TRUE;
}
