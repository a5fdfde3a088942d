// The running process as the machine sees it: its module, id, environment,
// the system directories and the local time.
#include "internal.h"

#include <sys/time.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

extern char** environ;

namespace plxsim {

HMODULE programModule() {
    // The image base Windows gives an executable: any fixed, non-null value does.
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
}

std::u16string programPath() {
    char host[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", host, sizeof host - 1);
    if (n <= 0) return u"";
    host[n] = 0;
    return windowsPath(host);
}

bool copyFromProgram(void* to, const void* from, size_t size) {
    // The kernel reads the memory for us and answers EFAULT where a plain
    // copy would crash.
    struct iovec local = {to, size};
    struct iovec remote = {const_cast<void*>(from), size};
    return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

namespace {

// Copies text with Windows' counting for directory queries: the length without
// terminator when it fits, else the size needed with the terminator.
DWORD copyOut(const std::u16string& text, LPWSTR buffer, DWORD size) {
    if (!buffer || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

std::mutex& environmentLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

// Names of the machine's own variables that SetEnvironmentVariableW removed
// from this process.
std::vector<std::u16string>& removedMachineVariables() {
    static auto* names = new std::vector<std::u16string>;
    return *names;
}

// The variables Windows gives every process, as the 32-bit program sees them
// on this machine: on x64 its ProgramFiles is the x86 folder, and the 64-bit
// one is ProgramW6432 (from Windows 7 on).
std::vector<std::pair<std::u16string, std::u16string>> machineVariables() {
    const MachineConfig& config = machine();
    const DWORD version = config.versionMajor * 100 + config.versionMinor;
    std::vector<std::pair<std::u16string, std::u16string>> vars = {{u"OS", u"Windows_NT"},
                                                                   {u"SystemDrive", u"C:"},
                                                                   {u"SystemRoot", u"C:\\Windows"},
                                                                   {u"windir", u"C:\\Windows"},
                                                                   {u"PROCESSOR_ARCHITECTURE", u"x86"}};
    if (version >= 600) {
        vars.insert(vars.end(), {{u"ALLUSERSPROFILE", u"C:\\ProgramData"},
                                 {u"ProgramData", u"C:\\ProgramData"},
                                 {u"PUBLIC", u"C:\\Users\\Public"}});
    } else {
        vars.push_back({u"ALLUSERSPROFILE", u"C:\\Documents and Settings\\All Users"});
    }
    if (!config.x64) {
        vars.insert(vars.end(), {{u"ProgramFiles", u"C:\\Program Files"},
                                 {u"CommonProgramFiles", u"C:\\Program Files\\Common Files"}});
        return vars;
    }
    vars.insert(vars.end(), {{u"PROCESSOR_ARCHITEW6432", u"AMD64"},
                             {u"ProgramFiles", u"C:\\Program Files (x86)"},
                             {u"ProgramFiles(x86)", u"C:\\Program Files (x86)"},
                             {u"CommonProgramFiles", u"C:\\Program Files (x86)\\Common Files"},
                             {u"CommonProgramFiles(x86)", u"C:\\Program Files (x86)\\Common Files"}});
    if (version >= 601) {
        vars.insert(vars.end(), {{u"ProgramW6432", u"C:\\Program Files"},
                                 {u"CommonProgramW6432", u"C:\\Program Files\\Common Files"}});
    }
    return vars;
}

// Every name machineVariables() may give, known without asking the machine
// (PLX_MACHINE itself is looked up through the environment).
bool isMachineVariable(const std::u16string& name) {
    static const char16_t* const kNames[] = {u"OS",
                                             u"SystemDrive",
                                             u"SystemRoot",
                                             u"windir",
                                             u"PROCESSOR_ARCHITECTURE",
                                             u"ALLUSERSPROFILE",
                                             u"ProgramData",
                                             u"PUBLIC",
                                             u"ProgramFiles",
                                             u"CommonProgramFiles",
                                             u"PROCESSOR_ARCHITEW6432",
                                             u"ProgramFiles(x86)",
                                             u"CommonProgramFiles(x86)",
                                             u"ProgramW6432",
                                             u"CommonProgramW6432"};
    for (const char16_t* known : kNames)
        if (equalNoCase(known, name)) return true;
    return false;
}

bool isAscii(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return true;
}

// Whether the host's variable name (length bytes of UTF-8) is wanted without
// regard to case.  Names are nearly always ASCII, compared in place; others
// are compared as Windows compares them.
bool sameNameNoCase(const std::string& wanted, const char* name, size_t length) {
    if (isAscii(wanted.data(), wanted.size()) && isAscii(name, length)) {
        if (length != wanted.size()) return false;
        for (size_t i = 0; i < length; ++i) {
            char a = wanted[i], b = name[i];
            if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
            if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
            if (a != b) return false;
        }
        return true;
    }
    return equalNoCase(fromUtf8(std::string(name, length)), fromUtf8(wanted));
}

// The variable that Windows would find, names ignoring case: the host's
// environment first (hostName is its spelling there), then the machine's own
// variables (hostName empty).
bool findVariable(const std::u16string& name, std::string& hostName, std::string& value) {
    if (name.empty() || name.find(u'=') != std::u16string::npos) return false;
    std::string exact = toUtf8(name);
    if (const char* v = std::getenv(exact.c_str())) {
        hostName = exact;
        value = v;
        return true;
    }
    for (char** e = environ; e && *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (!eq) continue;
        const size_t length = static_cast<size_t>(eq - *e);
        if (!sameNameNoCase(exact, *e, length)) continue;
        hostName.assign(*e, length);
        value = eq + 1;
        return true;
    }
    if (!isMachineVariable(name)) return false;
    for (const std::u16string& removed : removedMachineVariables())
        if (equalNoCase(removed, name)) return false;
    for (const auto& var : machineVariables()) {
        if (!equalNoCase(var.first, name)) continue;
        hostName.clear();
        value = toUtf8(var.second);
        return true;
    }
    return false;
}

}  // namespace
}  // namespace plxsim

using namespace plxsim;

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

void WINAPI Sleep(DWORD dwMilliseconds) {
    struct timespec ts;
    ts.tv_sec = dwMilliseconds / 1000;
    ts.tv_nsec = static_cast<long>(dwMilliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    ApiCall call("GetModuleFileNameW");
    if (call.fault()) return call.fail(0);
    if (hModule && hModule != programModule()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!lpFilename && nSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string path = programPath();
    if (nSize > path.size()) {
        path.copy(lpFilename, path.size());
        lpFilename[path.size()] = 0;
        return static_cast<DWORD>(path.size());
    }
    // Too small: truncated to nSize characters including the terminator.
    if (nSize > 0) {
        path.copy(lpFilename, nSize - 1);
        lpFilename[nSize - 1] = 0;
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    ApiCall call("GetModuleHandleW", lpModuleName);
    if (call.fault()) return call.fail(nullptr);
    if (!lpModuleName) return programModule();
    std::u16string name = toU16(lpModuleName);
    for (char16_t& c : name)
        if (c == u'/') c = u'\\';
    std::u16string path = programPath();
    std::u16string file = path.substr(path.find_last_of(u'\\') + 1);
    bool hasDir = name.find(u'\\') != std::u16string::npos;
    const std::u16string& against = hasDir ? path : file;
    // The program is known by its name, also with the ".exe" a Windows build has.
    if (equalNoCase(name, against) || equalNoCase(name, against + u".exe")) return programModule();
    if (HMODULE system = systemModule(name)) return system;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    ApiCall call("GetSystemDirectoryW");
    if (call.fault()) return call.fail(0);
    return copyOut(u"C:\\Windows\\system32", lpBuffer, uSize);
}

UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    ApiCall call("GetWindowsDirectoryW");
    if (call.fault()) return call.fail(0);
    return copyOut(u"C:\\Windows", lpBuffer, uSize);
}

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
    ApiCall call("GetEnvironmentVariableW", lpName);
    if (call.fault()) return call.fail(0);
    std::string hostName, value;
    bool found;
    {
        std::lock_guard<std::mutex> guard(environmentLock());
        found = findVariable(toU16(lpName), hostName, value);
    }
    if (!found) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    std::u16string text = fromUtf8(value);
    if (text.empty()) {
        // An empty variable gives an empty text and 0, which Windows reports as not found.
        if (lpBuffer && nSize) lpBuffer[0] = 0;
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    return copyOut(text, lpBuffer, nSize);
}

BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue) {
    ApiCall call("SetEnvironmentVariableW", lpName);
    if (call.fault()) return call.fail(FALSE);
    std::u16string name = toU16(lpName);
    if (name.empty() || name.find(u'=') != std::u16string::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(environmentLock());
    std::string hostName, old;
    // Remove every spelling of the name: Windows has one variable per name.
    while (findVariable(name, hostName, old) && !hostName.empty()) unsetenv(hostName.c_str());
    auto& removed = removedMachineVariables();
    for (auto it = removed.begin(); it != removed.end();) it = equalNoCase(*it, name) ? removed.erase(it) : it + 1;
    if (!lpValue) {
        if (isMachineVariable(name)) removed.push_back(name);
        return TRUE;
    }
    if (setenv(toUtf8(name).c_str(), toUtf8(lpValue).c_str(), 1) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize) {
    ApiCall call("ExpandEnvironmentStringsW", lpSrc);
    if (call.fault()) return call.fail(0);
    std::u16string src = toU16(lpSrc), out;
    size_t i = 0;
    {
        std::lock_guard<std::mutex> guard(environmentLock());
        while (i < src.size()) {
            if (src[i] != u'%') {
                out += src[i++];
                continue;
            }
            size_t close = src.find(u'%', i + 1);
            if (close == std::u16string::npos) {
                out += src.substr(i);  // a lone '%' stays
                break;
            }
            std::string hostName, value;
            if (findVariable(src.substr(i + 1, close - i - 1), hostName, value)) {
                out += fromUtf8(value);
                i = close + 1;
            } else {
                out += src.substr(i, close - i + 1);  // an unknown "%NAME%" stays as written
                i = close + 1;
            }
        }
    }
    DWORD needed = static_cast<DWORD>(out.size() + 1);
    if (lpDst && nSize >= needed) {
        out.copy(lpDst, out.size());
        lpDst[out.size()] = 0;
    } else if (lpDst && nSize > 0) {
        // Too small: as much as fits, terminated, and the size needed.
        out.copy(lpDst, nSize - 1);
        lpDst[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    }
    return needed;
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    struct timeval now;
    gettimeofday(&now, nullptr);
    struct tm local;
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    lpSystemTime->wYear = static_cast<WORD>(local.tm_year + 1900);
    lpSystemTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    lpSystemTime->wDay = static_cast<WORD>(local.tm_mday);
    lpSystemTime->wHour = static_cast<WORD>(local.tm_hour);
    lpSystemTime->wMinute = static_cast<WORD>(local.tm_min);
    lpSystemTime->wSecond = static_cast<WORD>(local.tm_sec);
    lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_usec / 1000);
}
