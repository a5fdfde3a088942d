// Internals shared by the parts of the simulated Windows machine.  Nothing
// outside platform/src includes this header.
#ifndef PLX_SIM_INTERNAL_H
#define PLX_SIM_INTERNAL_H

#include "plx_text_codec.h"
#include "plx_win32.h"

#include <sys/stat.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plxsim {

// ------------------------------------------------------------------ text
// The codec every part of the machine converts with (plx_text_codec.h).
using plxtext::fromUtf8;
using plxtext::fromWindows1252;
using plxtext::toUtf8;
using plxtext::toWindows1252;
std::string toUtf8(LPCWSTR text);    // null gives ""
std::u16string toU16(LPCWSTR text);  // null gives u""
// Case-insensitive comparison as Windows does it for names: each UTF-16 code
// unit upper-cased through one table (upcase_table.inc, see gen_upcase.py).
char16_t upcaseChar(char16_t c);
std::u16string upcase(const std::u16string& text);
bool equalNoCase(const std::u16string& a, const std::u16string& b);
bool equalNoCase(const std::u16string& a, const char16_t* b);  // b: a constant name, not copied

// ------------------------------------------------------------------ kernel objects
// Every HANDLE the machine hands out (files, searches, tokens, processes)
// refers to one of these; CloseHandle and FindClose destroy them.
class KernelObject {
public:
    virtual ~KernelObject() = default;
};

HANDLE addHandle(std::unique_ptr<KernelObject> object);
// The object behind a handle, or null (the caller sets ERROR_INVALID_HANDLE).
KernelObject* findHandle(HANDLE handle);
template <class T>
T* findHandleAs(HANDLE handle) {
    return dynamic_cast<T*>(findHandle(handle));
}
// Destroys the object; false when the handle was not open.
bool removeHandle(HANDLE handle);

// ------------------------------------------------------------------ the machine
// machine.ini's [Faults] (see faults.cpp): "Function=occurrence:error,..."
// fails the n-th call of a function ("*" every call) with a Windows error;
// "n:kill" ends the process at that call, "n:cut" (CopyFileW) ends it halfway
// through the copy.
struct FaultRule {
    enum Action { kFail, kKill, kCut };
    DWORD occurrence = 0;  // 1 for the first call; 0 for every call
    DWORD error = 0;       // for kFail
    Action action = kFail;
};

// A file by its host identity, which stays with it when it is renamed.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
};

// The machine is the directory named by PLX_MACHINE.  It is looked up on every
// call, so a process (a test) may switch machines by changing the variable.
struct MachineConfig {
    std::string dir;         // host directory of the machine, no trailing '/'
    DWORD versionMajor = 6;  // [Windows] Version
    DWORD versionMinor = 1;
    bool x64 = true;                   // [Windows] Architecture
    bool administrator = true;         // [User] Administrator
    std::vector<std::string> answers;  // [Display] Answers, lower case
    // [Faults]: function name (lower case) -> the calls that fail, and Count.
    std::map<std::string, std::vector<FaultRule>> faults;
    bool countCalls = false;
    // [Programs] Loaded: full Windows paths of the files another program has
    // loaded as images, and those files as pinned in loaded.pins.
    std::vector<std::u16string> loadedPaths;
    std::vector<FileId> loadedFiles;
    std::string problem;  // the setting that does not parse; the machine cannot be used
};

// The current machine.  A process without PLX_MACHINE stops here with a
// message that says how to create one.
const MachineConfig& machine();
// The same, or null when PLX_MACHINE names no directory or machine.ini does
// not parse (for the functions that work without a usable machine).
const MachineConfig* currentMachine();
// While a call of the program runs, the machine it started on: its inner
// steps see one configuration and do not look at the disk again (ApiCall pins
// it; null unpins).
void pinMachine(const MachineConfig* config);

// Windows path <-> host path (paths.cpp).  "C:\x" is <machine>/drive_c/x, "Z:\x" is /x.
// Relative paths resolve against the process's current directory.  Existing
// components are matched case-insensitively; missing ones keep their case.
// False (with *error set to ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME or
// ERROR_INVALID_DRIVE) when the path cannot name anything on this machine.
bool hostPath(LPCWSTR windowsPath, std::string& host, DWORD* error);
std::u16string windowsPath(const std::string& host);
// The absolute, normalized Windows form ("C:\a\b") of a path, resolving "."
// and ".." and relative paths; case is kept as written.  Nothing is looked up.
bool fullWindowsPath(LPCWSTR path, std::u16string& full, DWORD* error);
// The error for a host path that does not exist: ERROR_FILE_NOT_FOUND when
// its directory exists, else ERROR_PATH_NOT_FOUND.
DWORD missingPathError(const std::string& host);
// The Windows error for a failed host file call's errno on host.
DWORD hostError(int err, const std::string& host);
// Stops the process with a message on stderr (exit code 3): the machine is unusable.
[[noreturn]] void fatal(const std::string& message);
// Ends the process at once, as a power loss would: by SIGKILL, so that no
// atexit handler, destructor or buffered write runs after it.
[[noreturn]] void endProcess();

// Windows attributes and times of a host file (for GetFileAttributesW and searches).
DWORD fileAttributesOf(const struct stat& st);
// The attributes of a directory entry, from its lstat: a host symbolic link is
// a reparse point, a directory one when its target is a directory.
DWORD entryAttributes(const std::string& host, const struct stat& own);
void fillTimes(const struct stat& st, FILETIME* creation, FILETIME* access, FILETIME* write);

// Pins config.loadedPaths in <machine>/loaded.pins and fills config.loadedFiles
// (loaded.cpp).  Runs while config is the pinned machine.
void pinLoadedFiles(MachineConfig& config);
// Whether another program of the machine has this file loaded as an image.
bool fileLoaded(const struct stat& st);

// Whether a standard user may write to this host path (Program Files and
// Windows are off limits unless the machine's user is an administrator).
bool fileWriteAllowed(const std::string& host);

// Appends one UTF-8 line to the machine's screen.log (plx_screen_log.h).
void screenLog(const std::string& line);
// The next unused [Display] Answers entry of this process on this machine;
// false when they are used up.
bool nextAnswer(std::string& answer);

// ------------------------------------------------------------------ injected faults
// Parses one [Faults] entry into config.  The problem, naming where, when the
// function is not one that can fail or the rules do not parse; "" when it parses.
std::string parseFaultEntry(const std::string& key, const std::string& value, const std::string& where,
                            MachineConfig& config);

// What a call is about, for calls.log: a path or name (wide or narrow) or a number.
class CallSubject {
public:
    CallSubject() = default;
    CallSubject(LPCWSTR text) : m_wide(text), m_kind(text ? kWide : kNone) {}
    CallSubject(LPCSTR text) : m_narrow(text), m_kind(text ? kNarrow : kNone) {}
    CallSubject(DWORD number) : m_number(number), m_kind(kNumber) {}
    // GetProcAddress's name, which may be an ordinal in the pointer's low word.
    static CallSubject procName(LPCSTR name);
    // A mask or set of flags, written in hex.
    static CallSubject hex(DWORD value);
    std::string text() const;

private:
    enum Kind { kNone, kWide, kNarrow, kNumber, kHex };
    LPCWSTR m_wide = nullptr;
    LPCSTR m_narrow = nullptr;
    DWORD m_number = 0;
    Kind m_kind = kNone;
};

// One call of a Win32 function of the machine by the program, made at the top
// of the function: counted per function, process and machine (and written to
// calls.log when [Faults] Count=1), and failed, or the process ended there,
// when [Faults] names this occurrence.  A failing function returns its documented failure result with
// fault() as its error (the last error, or the result of Reg* and HRESULT
// functions) before it has any effect.  Calls that the machine's functions
// make of one another belong to the outer call: they are neither counted nor
// failed.
class ApiCall {
public:
    explicit ApiCall(const char* function, CallSubject subject = CallSubject(), CallSubject detail = CallSubject());
    ~ApiCall();
    ApiCall(const ApiCall&) = delete;
    ApiCall& operator=(const ApiCall&) = delete;

    // The Windows error this call fails with; 0 when it runs as usual.
    DWORD fault() const { return m_fault; }
    // Whether the call is to stop halfway and end the process (CopyFileW's "cut").
    bool cut() const { return m_cut; }
    // What a failing function returns: its failure result, with fault() as the
    // last error; the error itself (Reg*); the error as an HRESULT
    // (HRESULT_FROM_WIN32, unless it was given as an HRESULT).
    template <class T>
    T fail(T result) const {
        SetLastError(m_fault);
        return result;
    }
    LSTATUS status() const { return static_cast<LSTATUS>(m_fault); }
    HRESULT hresult() const;

private:
    bool m_outer;
    DWORD m_fault = 0;
    bool m_cut = false;
};

// ------------------------------------------------------------------ the program
// The running program's module handle (GetModuleHandleW(NULL)); fixed, not null.
HMODULE programModule();
// The running program's Windows path (its host path mapped onto the machine).
std::u16string programPath();
// Copies size bytes of the program's memory at from to to, as the kernel
// copies a caller's buffer: false when any of them cannot be read.
bool copyFromProgram(void* to, const void* from, size_t size);

// ------------------------------------------------------------------ registry
// Drops the volatile registry keys: the machine restarted (ExitWindowsEx).
void registryRestart();

// ------------------------------------------------------------------ system modules
// The handle of a loaded system module ("kernel32.dll", "KERNEL32", or a path
// in the system directory), or null.  kernel32.dll and ntdll.dll are always
// loaded; shlwapi.dll and version.dll while LoadLibraryW references them.
// GetModuleHandleW answers system module names from here.
HMODULE systemModule(const std::u16string& name);
// The directories, in order, where a library named without a full path is
// looked for (LoadLibrary's search, which SetDefaultDllDirectories narrows).
std::vector<std::u16string> librarySearchDirectories();

// ------------------------------------------------------------------ privileges
// Whether the process token currently holds the named privilege enabled.
bool privilegeEnabled(const std::u16string& name);

}  // namespace plxsim

#endif
