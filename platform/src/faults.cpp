// Injected faults and call counting: machine.ini's [Faults] section.
//
//   [Faults]
//   CopyFileW=2:112            the 2nd call of CopyFileW fails with ERROR_DISK_FULL
//   RegOpenKeyExW=1:5,4:2      the 1st call fails with 5, the 4th with 2
//   MoveFileExW=*:32           every call fails with ERROR_SHARING_VIOLATION
//   DeleteFileW=3:kill         the process ends at the 3rd call, as at a power loss
//   CopyFileW=2:cut            the 2nd copy writes half the file, then the process ends
//   Count=1                    every call is appended to calls.log
//
// Calls are counted per function in each process on each machine (a process
// that points PLX_MACHINE at another machine counts afresh there).  An error
// is decimal or 0x-hex; for SHGetFolderPathW it is turned into an HRESULT
// unless it is one already (0x8...).  Function names ignore case.
//
// calls.log, beside machine.ini, one line per call, its fields separated by tabs:
//   <pid> <function> <occurrence> <injected error, 0 for none, or kill or cut> <subject> [<detail>]
// where the subject names what the call is about (a path, a sub key, a value,
// library, export or privilege name, a string id) and the detail adds to it
// (the second path, a key's access mask with its view flags).
#include "internal.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string_view>

namespace plxsim {
namespace {

// The functions that can be made to fail: every function of the machine that
// has a failure result.  Those without one (GetLastError, GetCurrentProcess,
// GetNativeSystemInfo, GetLocalTime, ...) and the text functions that fail only
// for pointers they cannot use (lstrcpynW, lstrcatW, wsprintfW, ...) cannot.
const char* const kFaultPoints[] = {
    // files and directories
    "CreateFileW", "ReadFile", "WriteFile", "SetFilePointer", "GetFileSize", "CloseHandle", "CopyFileW", "MoveFileExW",
    "DeleteFileW", "CreateDirectoryW", "RemoveDirectoryW", "GetFileAttributesW", "SetFileAttributesW",
    "GetCurrentDirectoryW", "SetCurrentDirectoryW", "GetSystemDirectoryW", "GetWindowsDirectoryW", "FindFirstFileW",
    "FindNextFileW", "FindClose", "GetFileInformationByHandle", "CreateHardLinkW", "CreateSymbolicLinkW",
    // mutexes
    "CreateMutexW", "WaitForSingleObject", "ReleaseMutex",
    // profile files
    "GetPrivateProfileIntW", "GetPrivateProfileStringW", "GetPrivateProfileSectionW", "GetPrivateProfileSectionNamesW",
    "WritePrivateProfileStringW", "WritePrivateProfileSectionW",
    // registry
    "RegOpenKeyExW", "RegCreateKeyExW", "RegCloseKey", "RegQueryValueExW", "RegSetValueExW", "RegDeleteValueW",
    "RegDeleteKeyW", "RegDeleteKeyExW", "RegDeleteTreeW", "RegEnumKeyExW", "RegEnumValueW", "RegQueryInfoKeyW",
    "RegQueryMultipleValuesW", "RegSaveKeyW", "RegRestoreKeyW", "RegFlushKey",
    // modules and environment
    "GetModuleFileNameW", "GetModuleHandleW", "LoadLibraryW", "LoadLibraryExW", "GetProcAddress", "FreeLibrary",
    "SetDefaultDllDirectories", "GetEnvironmentVariableW", "SetEnvironmentVariableW", "ExpandEnvironmentStringsW",
    // tokens and privileges
    "OpenProcessToken", "LookupPrivilegeValueW", "AdjustTokenPrivileges", "GetTokenInformation",
    // system information, shell folders, version resources
    "GetVersionExW", "IsWow64Process", "SHGetFolderPathW", "GetFileVersionInfoSizeW", "GetFileVersionInfoW",
    "VerQueryValueW",
    // user interface and resources
    "LoadStringW", "MessageBoxW", "ExitWindowsEx"};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool parseNumber(const std::string& text, DWORD& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (*end != 0 || text[0] == '-' || parsed > 0xFFFFFFFFull) return false;
    value = static_cast<DWORD>(parsed);
    return true;
}

std::string trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

std::mutex& countLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

// Calls made so far: machine directory -> function -> count.
using CallCounts = std::map<std::string, DWORD, std::less<>>;
std::map<std::string, CallCounts>& counts() {
    static auto* table = new std::map<std::string, CallCounts>;
    return *table;
}

thread_local int t_depth = 0;

void appendCallLine(const MachineConfig& config, const std::string& line) {
    std::string file = config.dir + "/calls.log";
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) fatal("cannot append to " + file);
    // One write per line, so that lines of concurrent processes do not interleave.
    ssize_t written = write(fd, line.data(), line.size());
    close(fd);
    if (written != static_cast<ssize_t>(line.size())) fatal("cannot append to " + file);
}

}  // namespace

std::string parseFaultEntry(const std::string& key, const std::string& value, const std::string& where,
                            MachineConfig& config) {
    const std::string name = lower(key);
    if (name == "count") {
        if (value != "0" && value != "1") return where + " is neither 1 nor 0";
        config.countCalls = value == "1";
        return "";
    }
    bool known = false;
    for (const char* point : kFaultPoints) known = known || lower(point) == name;
    if (!known) return where + ": " + key + " is not a function of the machine that can fail";
    std::vector<FaultRule>& rules = config.faults[name];
    std::istringstream list(value);
    for (std::string item; std::getline(list, item, ',');) {
        item = trim(item);
        size_t colon = item.find(':');
        FaultRule rule;
        std::string occurrence = colon == std::string::npos ? "" : trim(item.substr(0, colon));
        std::string action = colon == std::string::npos ? "" : lower(trim(item.substr(colon + 1)));
        bool every = occurrence == "*";
        if (action == "kill") rule.action = FaultRule::kKill;
        if (action == "cut") rule.action = FaultRule::kCut;
        if (colon == std::string::npos || (!every && (!parseNumber(occurrence, rule.occurrence) || !rule.occurrence)) ||
            (rule.action == FaultRule::kFail && (!parseNumber(action, rule.error) || !rule.error)))
            return where + ": \"" + item +
                   "\" is not occurrence:error (e.g. 2:112, or *:5 for every call), occurrence:kill or occurrence:cut";
        if (every && rule.action != FaultRule::kFail)
            return where + ": \"" + item + "\" would end every call; kill and cut take an occurrence (e.g. 3:kill)";
        if (rule.action == FaultRule::kCut && name != "copyfilew") return where + ": only CopyFileW can be cut";
        if (every) rule.occurrence = 0;
        rules.push_back(rule);
    }
    if (rules.empty()) return where + ": no occurrence:error given";
    return "";
}

CallSubject CallSubject::procName(LPCSTR name) {
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(name);
    if ((value >> 16) != 0) return CallSubject(name);
    CallSubject ordinal(static_cast<DWORD>(value));
    return ordinal;
}

CallSubject CallSubject::hex(DWORD value) {
    CallSubject subject(value);
    subject.m_kind = kHex;
    return subject;
}

std::string CallSubject::text() const {
    char number[16];
    switch (m_kind) {
    case kWide: return toUtf8(m_wide);
    case kNarrow: return m_narrow;
    case kNumber: return std::to_string(m_number);
    case kHex: std::snprintf(number, sizeof number, "0x%x", m_number); return number;
    default: return "";
    }
}

ApiCall::ApiCall(const char* function, CallSubject subject, CallSubject detail) : m_outer(t_depth++ == 0) {
    if (!m_outer) return;
    const MachineConfig* config = currentMachine();
    if (!config) return;  // the functions that work without a machine have no faults there
    pinMachine(config);
    DWORD occurrence;
    {
        std::lock_guard<std::mutex> guard(countLock());
        CallCounts& calls = counts()[config->dir];
        auto it = calls.find(std::string_view(function));
        if (it == calls.end()) it = calls.emplace(function, 0).first;
        occurrence = ++it->second;
    }
    FaultRule::Action action = FaultRule::kFail;
    if (!config->faults.empty()) {
        auto it = config->faults.find(lower(function));
        if (it != config->faults.end()) {
            for (const FaultRule& rule : it->second) {
                if (rule.occurrence != 0 && rule.occurrence != occurrence) continue;
                action = rule.action;
                m_fault = rule.error;
            }
        }
    }
    if (config->countCalls) {
        std::string injected = action == FaultRule::kKill  ? "kill"
                               : action == FaultRule::kCut ? "cut"
                                                           : std::to_string(m_fault);
        std::string line = std::to_string(getpid()) + "\t" + function + "\t" + std::to_string(occurrence) + "\t" +
                           injected + "\t" + subject.text();
        std::string more = detail.text();
        if (!more.empty()) line += "\t" + more;
        appendCallLine(*config, line + "\n");
    }
    if (action == FaultRule::kKill) endProcess();
    m_cut = action == FaultRule::kCut;
}

ApiCall::~ApiCall() {
    if (--t_depth == 0) pinMachine(nullptr);
}

[[noreturn]] void endProcess() {
    raise(SIGKILL);
    for (;;) pause();  // SIGKILL cannot be blocked: never reached
}

HRESULT ApiCall::hresult() const {
    if (m_fault & 0x80000000u) return static_cast<HRESULT>(m_fault);
    return static_cast<HRESULT>((m_fault & 0xFFFF) | 0x80070000u);
}

}  // namespace plxsim
