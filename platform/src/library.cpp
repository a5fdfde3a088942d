// Windows' own libraries.  The machine has no program loader: LoadLibraryW
// knows the system modules by name and always gives the system's module, so
// a file of the same name elsewhere (beside a downloaded program, in the
// current directory) is never loaded in its place.  Any other library is
// not found.
#include "internal.h"

#include <cstring>
#include <mutex>

namespace {

struct Export {
    const char* name;  // null for an export by ordinal only
    WORD ordinal;
    FARPROC proc;
};

template <class F>
FARPROC asProc(F* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// The shell's operating-system query (shlwapi ordinal 437), answered from the
// machine's Windows version; the machine is a desktop (workstation) system
// that is no server, no domain member and no terminal server.
BOOL WINAPI IsOS(DWORD dwOS) {
    const plxsim::MachineConfig& config = plxsim::machine();
    DWORD version = config.versionMajor * 100 + config.versionMinor;
    switch (dwOS) {
    case 1:   // OS_NT
    case 20:  // OS_PROFESSIONAL
        return TRUE;
    case 7:  // OS_WIN2000ORGREATER
        return version >= 500;
    case 18:  // OS_XPORGREATER
        return version >= 501;
    case 26:  // OS_FASTUSERSWITCHING
    case 27:  // OS_WELCOMELOGONUI
        return version >= 501;
    case 30:  // OS_WOW6432: a 32-bit program on 64-bit Windows
        return config.x64;
    case 37:  // Vista or later (not in the SDK's list; shlwapi answers it)
        return version >= 600;
    default:
        // The Windows 9x values, the server, terminal server, embedded, home,
        // tablet, media center and appliance editions: none of them is this machine.
        return FALSE;
    }
}

struct Module {
    const char16_t* name;
    bool pinned;  // loaded for the whole process
    const Export* exports;
    size_t exportCount;
    int references;
};

const Export kShlwapiExports[] = {
    {"IsOS", 437, asProc(&IsOS)},
};

const Export kVersionExports[] = {
    {"GetFileVersionInfoSizeW", 0, asProc(&GetFileVersionInfoSizeW)},
    {"GetFileVersionInfoW", 0, asProc(&GetFileVersionInfoW)},
    {"VerQueryValueW", 0, asProc(&VerQueryValueW)},
};

const Export kKernelExports[] = {
    {"FreeLibrary", 0, asProc(&FreeLibrary)},
    {"GetCurrentProcess", 0, asProc(&GetCurrentProcess)},
    {"GetModuleHandleW", 0, asProc(&GetModuleHandleW)},
    {"GetNativeSystemInfo", 0, asProc(&GetNativeSystemInfo)},
    {"GetProcAddress", 0, asProc(&GetProcAddress)},
    {"GetSystemInfo", 0, asProc(&GetSystemInfo)},
    {"GetVersionExW", 0, asProc(&GetVersionExW)},
    {"LoadLibraryExW", 0, asProc(&LoadLibraryExW)},
    {"LoadLibraryW", 0, asProc(&LoadLibraryW)},
    {"SetDefaultDllDirectories", 0, asProc(&SetDefaultDllDirectories)},
};

struct Modules {
    std::mutex lock;
    Module table[4] = {
        {u"kernel32.dll", true, kKernelExports, sizeof kKernelExports / sizeof kKernelExports[0], 0},
        {u"ntdll.dll", true, nullptr, 0, 0},
        {u"shlwapi.dll", false, kShlwapiExports, sizeof kShlwapiExports / sizeof kShlwapiExports[0], 0},
        {u"version.dll", false, kVersionExports, sizeof kVersionExports / sizeof kVersionExports[0], 0},
    };
    DWORD defaultDirectories = 0;
};

Modules& modules() {
    static Modules* m = new Modules;
    return *m;
}

HMODULE handleOf(Module& module) { return reinterpret_cast<HMODULE>(&module); }

bool loaded(const Module& module) { return module.pinned || module.references > 0; }

// The system module a name refers to, or null.  A bare name ("shlwapi",
// "SHLWAPI.DLL") names a system module; a path must lie in the system directory.
Module* findModule(const std::u16string& given) {
    std::u16string name = given;
    for (char16_t& c : name)
        if (c == u'/') c = u'\\';
    size_t slash = name.find_last_of(u'\\');
    if (slash != std::u16string::npos) {
        std::u16string dir = name.substr(0, slash);
        WCHAR system[MAX_PATH] = {};
        UINT length = GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return nullptr;
        if (!plxsim::equalNoCase(dir, std::u16string(system, length))) return nullptr;
        name = name.substr(slash + 1);
    }
    // A name without an extension means a .dll; a trailing dot means no extension.
    if (!name.empty() && name.back() == u'.')
        name.pop_back();
    else if (name.find(u'.') == std::u16string::npos)
        name += u".dll";
    for (Module& module : modules().table)
        if (plxsim::equalNoCase(name, module.name)) return &module;
    return nullptr;
}

Module* moduleOfHandle(HMODULE handle) {
    for (Module& module : modules().table)
        if (handleOf(module) == handle) return &module;
    return nullptr;
}

const DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                           LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
const DWORD kSearchDllLoadDir = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
const DWORD kLoadFlags = DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE |
                         0x00000008 /* LOAD_WITH_ALTERED_SEARCH_PATH */ | 0x00000010 /* IGNORE_CODE_AUTHZ_LEVEL */ |
                         LOAD_LIBRARY_AS_IMAGE_RESOURCE | 0x00000040 /* AS_DATAFILE_EXCLUSIVE */ | kSearchDllLoadDir |
                         kSearchFlags;

HMODULE load(LPCWSTR name) {
    if (!name || !name[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Modules& all = modules();
    std::lock_guard<std::mutex> guard(all.lock);
    Module* module = findModule(plxsim::toU16(name));
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!module->pinned) ++module->references;
    return handleOf(*module);
}

}  // namespace

namespace plxsim {

HMODULE systemModule(const std::u16string& name) {
    Modules& all = modules();
    std::lock_guard<std::mutex> guard(all.lock);
    Module* module = findModule(name);
    return module && loaded(*module) ? handleOf(*module) : nullptr;
}

std::vector<std::u16string> librarySearchDirectories() {
    DWORD flags;
    {
        Modules& all = modules();
        std::lock_guard<std::mutex> guard(all.lock);
        flags = all.defaultDirectories;
    }
    std::u16string program = programPath();
    std::u16string programDir = program.substr(0, program.find_last_of(u'\\'));
    WCHAR system[MAX_PATH] = {};
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    std::u16string systemDir(system, length < MAX_PATH ? length : 0);
    if (flags != 0) {
        // Only what SetDefaultDllDirectories named; the machine has no AddDllDirectory.
        std::vector<std::u16string> dirs;
        if (flags & (LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
            dirs.push_back(programDir);
        if (flags & (LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) dirs.push_back(systemDir);
        return dirs;
    }
    // The standard search of desktop programs (safe DLL search mode): the
    // program's directory, the system, 16-bit system and Windows directories,
    // then the current directory.  The host's PATH names host directories, so
    // it is not searched.
    WCHAR cwd[MAX_PATH] = {};
    DWORD cwdLength = GetCurrentDirectoryW(MAX_PATH, cwd);
    return {programDir, systemDir, u"C:\\Windows\\System", u"C:\\Windows",
            std::u16string(cwd, cwdLength < MAX_PATH ? cwdLength : 0)};
}

}  // namespace plxsim

using namespace plxsim;

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
    ApiCall call("LoadLibraryW", lpLibFileName);
    if (call.fault()) return call.fail(nullptr);
    return load(lpLibFileName);
}

HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
    ApiCall call("LoadLibraryExW", lpLibFileName, CallSubject::hex(dwFlags));
    if (call.fault()) return call.fail(nullptr);
    if (hFile || (dwFlags & ~kLoadFlags)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return load(lpLibFileName);
}

BOOL WINAPI SetDefaultDllDirectories(DWORD DirectoryFlags) {
    ApiCall call("SetDefaultDllDirectories", CallSubject::hex(DirectoryFlags));
    if (call.fault()) return call.fail(FALSE);
    // Only the search flags are allowed, and at least one of them.
    if (DirectoryFlags == 0 || (DirectoryFlags & ~(kSearchFlags | kSearchDllLoadDir))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Modules& all = modules();
    std::lock_guard<std::mutex> guard(all.lock);
    all.defaultDirectories = DirectoryFlags;
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    ApiCall call("GetProcAddress", CallSubject::procName(lpProcName));
    if (call.fault()) return call.fail(nullptr);
    Modules& all = modules();
    std::lock_guard<std::mutex> guard(all.lock);
    if (!hModule || hModule == programModule()) {
        // The program exports nothing.
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    Module* module = moduleOfHandle(hModule);
    if (!module || !loaded(*module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(lpProcName);
    bool byOrdinal = (value >> 16) == 0;  // an ordinal travels in the low word of the pointer
    for (size_t i = 0; i < module->exportCount; ++i) {
        const Export& e = module->exports[i];
        if (byOrdinal ? (e.ordinal != 0 && e.ordinal == value) : (e.name && std::strcmp(e.name, lpProcName) == 0))
            return e.proc;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    ApiCall call("FreeLibrary");
    if (call.fault()) return call.fail(FALSE);
    if (hLibModule && hLibModule == programModule()) return TRUE;
    Modules& all = modules();
    std::lock_guard<std::mutex> guard(all.lock);
    Module* module = moduleOfHandle(hLibModule);
    if (!module || !loaded(*module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (!module->pinned) --module->references;
    return TRUE;
}
