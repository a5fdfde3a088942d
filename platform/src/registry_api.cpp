// The Win32 registry functions of the simulated machine: handles, views,
// access checks and Windows' result codes over the machine's registry files.
// Like Windows, Reg* functions return their status and leave the thread's
// last-error value alone.
#include "registry_store.h"
#include "sim_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace plxsim {
namespace {

// Registry views: one on an x86 machine; on x64 the 32-bit programs see
// HKLM\SOFTWARE through HKLM\SOFTWARE\WOW6432Node unless they ask for the
// 64-bit view.
enum class View { Single, Wow32, Wow64 };

const char16_t kLocalMachine[] = u"HKEY_LOCAL_MACHINE";
// Root name of the files RegSaveKeyW writes: the saved key itself.
const char16_t kSavedRoot[] = u"SAVED_KEY";

const REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

struct KeyRef {
    std::u16string root;
    std::vector<std::u16string> path;  // as the program named it, before redirection
    View view = View::Single;
    REGSAM access = 0;
};

class RegistryKeyObject : public KernelObject {
public:
    explicit RegistryKeyObject(KeyRef keyRef) : ref(std::move(keyRef)) {}
    KeyRef ref;
};

View defaultView() { return machine().x64 ? View::Wow32 : View::Single; }

View viewFor(REGSAM sam, View current) {
    if (!machine().x64) return View::Single;
    if (sam & KEY_WOW64_64KEY) return View::Wow64;
    if (sam & KEY_WOW64_32KEY) return View::Wow32;
    return current == View::Single ? View::Wow32 : current;
}

const char16_t* predefinedRoot(HKEY hKey) {
    static const struct {
        HKEY handle;
        const char16_t* name;
    } roots[] = {{HKEY_CLASSES_ROOT, u"HKEY_CLASSES_ROOT"},
                 {HKEY_CURRENT_USER, u"HKEY_CURRENT_USER"},
                 {HKEY_LOCAL_MACHINE, kLocalMachine},
                 {HKEY_USERS, u"HKEY_USERS"},
                 {HKEY_CURRENT_CONFIG, u"HKEY_CURRENT_CONFIG"}};
    for (const auto& root : roots)
        if (root.handle == hKey) return root.name;
    return nullptr;
}

LSTATUS resolveHandle(HKEY hKey, KeyRef& ref) {
    if (const char16_t* root = predefinedRoot(hKey)) {
        ref = KeyRef{root, {}, defaultView(), KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    auto* object = findHandleAs<RegistryKeyObject>(reinterpret_cast<HANDLE>(hKey));
    if (!object) return ERROR_INVALID_HANDLE;
    ref = object->ref;
    return ERROR_SUCCESS;
}

// Appends a relative key path ("a\b", trailing "\" allowed) to ref.
LSTATUS appendSubKey(KeyRef& ref, LPCWSTR subKey) {
    std::u16string text = toU16(subKey);
    if (text.empty()) return ERROR_SUCCESS;
    if (text[0] == u'\\') return ERROR_BAD_PATHNAME;
    while (!text.empty() && text.back() == u'\\') text.pop_back();
    for (auto& part : splitKeyPath(text)) {
        if (part.empty()) return ERROR_BAD_PATHNAME;
        ref.path.push_back(std::move(part));
    }
    return ERROR_SUCCESS;
}

// The key lpSubKey names below hKey: base is hKey's own key, and ref, the sub
// key, starts with base's access and takes the view that samDesired asks for
// (base's own when it names none).
LSTATUS subKeyOf(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, KeyRef& base, KeyRef& ref) {
    LSTATUS status = resolveHandle(hKey, base);
    if (status != ERROR_SUCCESS) return status;
    ref = base;
    ref.view = viewFor(samDesired, base.view);
    return appendSubKey(ref, lpSubKey);
}

// Sub keys of HKLM\SOFTWARE that 64-bit Windows (7 and later) shares between
// the views rather than redirecting them to SOFTWARE\WOW6432Node; of the
// shared Classes, these sub keys are redirected to SOFTWARE\Classes\Wow6432Node.
const std::u16string kRedirectionNode = u"WOW6432Node";
const char16_t* const kSharedSoftwareKeys[] = {u"Classes", u"Policies"};
const char16_t* const kRedirectedClassesKeys[] = {u"CLSID", u"DirectShow", u"Interface", u"Media Type",
                                                  u"MediaFoundation"};

template <size_t N>
bool named(const std::u16string& name, const char16_t* const (&names)[N]) {
    for (const char16_t* candidate : names)
        if (equalNoCase(name, candidate)) return true;
    return false;
}

// Where WOW64 redirection puts "WOW6432Node" into the key's path: before
// the component at the index returned, or nowhere (npos).
size_t redirectionAt(const KeyRef& ref) {
    const std::vector<std::u16string>& path = ref.path;
    if (ref.view != View::Wow32 || !equalNoCase(ref.root, kLocalMachine) || path.empty() ||
        !equalNoCase(path[0], u"SOFTWARE"))
        return std::u16string::npos;
    if (path.size() > 1 && equalNoCase(path[1], kRedirectionNode)) return std::u16string::npos;  // named explicitly
    if (path.size() > 1 && named(path[1], kSharedSoftwareKeys)) {
        if (equalNoCase(path[1], u"Classes") && path.size() > 2 && named(path[2], kRedirectedClassesKeys)) return 2;
        return std::u16string::npos;
    }
    return 1;
}

// The key's place in the tree after WOW64 redirection.
std::vector<std::u16string> realPath(const KeyRef& ref) {
    std::vector<std::u16string> path = ref.path;
    size_t at = redirectionAt(ref);
    if (at != std::u16string::npos) path.insert(path.begin() + static_cast<std::ptrdiff_t>(at), kRedirectionNode);
    return path;
}

// The key at realPath(ref), found without making that path.
RegKey* lookup(RegTree& tree, const KeyRef& ref) {
    const size_t at = redirectionAt(ref);
    RegKey* key = tree.root(ref.root, false);
    for (size_t i = 0; key && i <= ref.path.size(); ++i) {
        if (i == at) key = key->findSub(kRedirectionNode);
        if (key && i < ref.path.size()) key = key->findSub(ref.path[i]);
    }
    return key;
}

// A standard user (not elevated) may read HKEY_LOCAL_MACHINE but not change it.
bool standardUserBlocked(const KeyRef& ref) { return !machine().administrator && equalNoCase(ref.root, kLocalMachine); }

HKEY newHandle(KeyRef ref) {
    return reinterpret_cast<HKEY>(addHandle(std::make_unique<RegistryKeyObject>(std::move(ref))));
}

// Runs fn(key) on the key behind a handle opened with the rights in need.
template <class F>
LSTATUS onKey(HKEY hKey, REGSAM need, bool modifies, F fn) {
    KeyRef ref;
    LSTATUS status = resolveHandle(hKey, ref);
    if (status != ERROR_SUCCESS) return status;
    if ((ref.access & need) != need) return ERROR_ACCESS_DENIED;
    if (modifies && standardUserBlocked(ref)) return ERROR_ACCESS_DENIED;
    auto body = [&](RegTree& tree) -> LSTATUS {
        RegKey* key = lookup(tree, ref);
        return key ? fn(*key) : ERROR_KEY_DELETED;
    };
    RegistryStore& store = RegistryStore::instance();
    return modifies ? store.write(body) : store.read(body);
}

// Copies name and its terminator into buffer of *count characters.
LSTATUS copyName(const std::u16string& name, LPWSTR buffer, LPDWORD count) {
    if (name.size() >= *count) return ERROR_MORE_DATA;
    std::memcpy(buffer, name.data(), name.size() * sizeof(WCHAR));
    buffer[name.size()] = 0;
    *count = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Value data to a sized buffer, as RegQueryValueExW and RegEnumValueW do.
LSTATUS copyData(const RegValue& value, LPBYTE data, LPDWORD size) {
    if (!size) return ERROR_SUCCESS;
    DWORD needed = static_cast<DWORD>(value.data.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed) std::memcpy(data, value.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LSTATUS errnoStatus(int error) {
    switch (error) {
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS: return ERROR_ACCESS_DENIED;
        case ENOSPC: return ERROR_DISK_FULL;
        default: return ERROR_REGISTRY_IO_FAILED;
    }
}

}  // namespace
}  // namespace plxsim

using namespace plxsim;

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    (void)ulOptions;  // REG_OPTION_OPEN_LINK: the machine has no symbolic links
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    ApiCall call("RegOpenKeyExW", lpSubKey, CallSubject::hex(samDesired));
    if (call.fault()) return call.status();
    KeyRef base;
    KeyRef ref;
    LSTATUS status = subKeyOf(hKey, lpSubKey, samDesired, base, ref);
    if (status != ERROR_SUCCESS) return status;
    ref.access = samDesired & ~static_cast<REGSAM>(KEY_WOW64_RES);
    status = RegistryStore::instance().read([&](RegTree& tree) -> LSTATUS {
        if (!lookup(tree, base)) return ERROR_KEY_DELETED;
        return lookup(tree, ref) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (status != ERROR_SUCCESS) return status;
    if ((ref.access & kWriteRights) && standardUserBlocked(ref)) return ERROR_ACCESS_DENIED;
    *phkResult = newHandle(std::move(ref));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                               REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
    (void)Reserved;
    (void)lpClass;               // key classes are not kept
    (void)lpSecurityAttributes;  // nor security descriptors
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    ApiCall call("RegCreateKeyExW", lpSubKey, CallSubject::hex(samDesired));
    if (call.fault()) return call.status();
    KeyRef base;
    KeyRef ref;
    LSTATUS status = subKeyOf(hKey, lpSubKey, samDesired, base, ref);
    if (status != ERROR_SUCCESS) return status;
    ref.access = samDesired & ~static_cast<REGSAM>(KEY_WOW64_RES);
    const bool makeVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    status = RegistryStore::instance().write([&](RegTree& tree) -> LSTATUS {
        if (!lookup(tree, base)) return ERROR_KEY_DELETED;
        std::vector<std::u16string> path = realPath(ref);
        RegKey* key = tree.root(ref.root, true);
        size_t depth = 0;
        while (depth < path.size()) {
            RegKey* sub = key->findSub(path[depth]);
            if (!sub) break;
            key = sub;
            ++depth;
        }
        if (depth == path.size()) {
            if ((ref.access & kWriteRights) && standardUserBlocked(ref)) return ERROR_ACCESS_DENIED;
            return ERROR_SUCCESS;
        }
        if (standardUserBlocked(ref)) return ERROR_ACCESS_DENIED;
        if (key->isVolatile && !makeVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
        for (; depth < path.size(); ++depth) key = key->addSub(path[depth], makeVolatile);
        disposition = REG_CREATED_NEW_KEY;
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    *phkResult = newHandle(std::move(ref));
    if (lpdwDisposition) *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    ApiCall call("RegCloseKey");
    if (call.fault()) return call.status();
    if (predefinedRoot(hKey)) return ERROR_SUCCESS;
    if (!findHandleAs<RegistryKeyObject>(reinterpret_cast<HANDLE>(hKey))) return ERROR_INVALID_HANDLE;
    removeHandle(reinterpret_cast<HANDLE>(hKey));
    return ERROR_SUCCESS;
}

// Changes are on disk once their call returns; flushing also writes them
// into registry.reg, as Windows writes a flushed hive.
LSTATUS WINAPI RegFlushKey(HKEY hKey) {
    ApiCall call("RegFlushKey");
    if (call.fault()) return call.status();
    KeyRef ref;
    LSTATUS status = resolveHandle(hKey, ref);
    if (status != ERROR_SUCCESS) return status;
    return RegistryStore::instance().flush() ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
    ApiCall call("RegQueryValueExW", lpValueName);
    if (call.fault()) return call.status();
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    const std::u16string name = toU16(lpValueName);
    return onKey(hKey, KEY_QUERY_VALUE, false, [&](RegKey& key) -> LSTATUS {
        RegValue* value = key.findValue(name);
        if (!value) return ERROR_FILE_NOT_FOUND;
        if (lpType) *lpType = value->type;
        return copyData(*value, lpData, lpcbData);
    });
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                              DWORD cbData) {
    (void)Reserved;
    ApiCall call("RegSetValueExW", lpValueName);
    if (call.fault()) return call.status();
    if (!lpData && cbData) return ERROR_NOACCESS;
    // A string whose size leaves out its terminator, while the character after
    // it is one, is stored with the terminator: Windows reads that character too.
    bool text = dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
    if (text && cbData >= sizeof(WCHAR)) {
        const WCHAR* chars = reinterpret_cast<const WCHAR*>(lpData);
        if (chars[cbData / sizeof(WCHAR) - 1] != 0 && chars[cbData / sizeof(WCHAR)] == 0) cbData += sizeof(WCHAR);
    }
    const std::u16string name = toU16(lpValueName);
    std::vector<BYTE> data(lpData, lpData + (lpData ? cbData : 0));
    return onKey(hKey, KEY_SET_VALUE, true, [&](RegKey& key) -> LSTATUS {
        key.setValue(name, dwType, std::move(data));
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    ApiCall call("RegDeleteValueW", lpValueName);
    if (call.fault()) return call.status();
    const std::u16string name = toU16(lpValueName);
    return onKey(hKey, KEY_SET_VALUE, true,
                 [&](RegKey& key) -> LSTATUS { return key.removeValue(name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND; });
}

namespace {

// Deletes the key at ref: a key with sub keys only when whole is set
// (RegDeleteTreeW), never a root.
LSTATUS deleteKey(const KeyRef& base, const KeyRef& ref, bool whole) {
    return RegistryStore::instance().write([&](RegTree& tree) -> LSTATUS {
        if (!lookup(tree, base)) return ERROR_KEY_DELETED;
        std::vector<std::u16string> path = realPath(ref);
        RegKey* key = tree.find(ref.root, path);
        if (!key) return ERROR_FILE_NOT_FOUND;
        if (path.empty() || standardUserBlocked(ref)) return ERROR_ACCESS_DENIED;
        if (!whole && !key->subKeys().empty()) return ERROR_ACCESS_DENIED;
        std::vector<std::u16string> parentPath(path.begin(), path.end() - 1);
        tree.find(ref.root, parentPath)->removeSub(path.back());
        return ERROR_SUCCESS;
    });
}

}  // namespace

LSTATUS WINAPI RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved) {
    ApiCall call("RegDeleteKeyExW", lpSubKey, CallSubject::hex(samDesired));
    if (call.fault()) return call.status();
    (void)Reserved;
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    KeyRef base;
    KeyRef ref;
    LSTATUS status = subKeyOf(hKey, lpSubKey, samDesired, base, ref);
    if (status != ERROR_SUCCESS) return status;
    return deleteKey(base, ref, false);
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    ApiCall call("RegDeleteKeyW", lpSubKey);
    if (call.fault()) return call.status();
    return RegDeleteKeyExW(hKey, lpSubKey, 0, 0);
}

LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    ApiCall call("RegDeleteTreeW", lpSubKey);
    if (call.fault()) return call.status();
    if (lpSubKey && *lpSubKey) {
        KeyRef base;
        KeyRef ref;
        LSTATUS status = subKeyOf(hKey, lpSubKey, 0, base, ref);
        if (status != ERROR_SUCCESS) return status;
        return deleteKey(base, ref, true);
    }
    // Without a sub key the key itself stays and loses its values and sub keys.
    return onKey(hKey, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, true, [&](RegKey& key) -> LSTATUS {
        key.clearContent();
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    ApiCall call("RegEnumKeyExW", dwIndex);
    if (call.fault()) return call.status();
    if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
    return onKey(hKey, KEY_ENUMERATE_SUB_KEYS, false, [&](RegKey& key) -> LSTATUS {
        if (dwIndex >= key.subKeys().size()) return ERROR_NO_MORE_ITEMS;
        LSTATUS status = copyName(key.subKeys()[dwIndex]->name, lpName, lpcchName);
        if (status != ERROR_SUCCESS) return status;  // Windows leaves the count as it was
        if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;
        if (lpcchClass) *lpcchClass = 0;
        if (lpftLastWriteTime) *lpftLastWriteTime = RegistryStore::instance().lastWriteTime();
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    ApiCall call("RegEnumValueW", dwIndex);
    if (call.fault()) return call.status();
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    return onKey(hKey, KEY_QUERY_VALUE, false, [&](RegKey& key) -> LSTATUS {
        if (dwIndex >= key.values().size()) return ERROR_NO_MORE_ITEMS;
        const RegValue& value = key.values()[dwIndex];
        LSTATUS status = copyName(value.name, lpValueName, lpcchValueName);
        if (status != ERROR_SUCCESS) return status;
        if (lpType) *lpType = value.type;
        return copyData(value, lpData, lpcbData);
    });
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    ApiCall call("RegQueryInfoKeyW");
    if (call.fault()) return call.status();
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    return onKey(hKey, KEY_QUERY_VALUE, false, [&](RegKey& key) -> LSTATUS {
        size_t maxSub = 0, maxName = 0, maxData = 0;
        for (const auto& sub : key.subKeys()) maxSub = std::max(maxSub, sub->name.size());
        for (const auto& value : key.values()) {
            maxName = std::max(maxName, value.name.size());
            maxData = std::max(maxData, value.data.size());
        }
        if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;  // keys have no class
        if (lpcchClass) *lpcchClass = 0;
        if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.subKeys().size());
        if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = static_cast<DWORD>(maxSub);
        if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
        if (lpcValues) *lpcValues = static_cast<DWORD>(key.values().size());
        if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = static_cast<DWORD>(maxName);
        if (lpcbMaxValueLen) *lpcbMaxValueLen = static_cast<DWORD>(maxData);
        if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;  // keys carry no security descriptor
        if (lpftLastWriteTime) *lpftLastWriteTime = RegistryStore::instance().lastWriteTime();
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegQueryMultipleValuesW(HKEY hKey, PVALENTW val_list, DWORD num_vals, LPWSTR lpValueBuf,
                                       LPDWORD ldwTotsize) {
    ApiCall call("RegQueryMultipleValuesW", num_vals);
    if (call.fault()) return call.status();
    if (!ldwTotsize || (!val_list && num_vals)) return ERROR_INVALID_PARAMETER;
    return onKey(hKey, KEY_QUERY_VALUE, false, [&](RegKey& key) -> LSTATUS {
        std::vector<const RegValue*> found;
        size_t total = 0;
        for (DWORD i = 0; i < num_vals; ++i) {
            const RegValue* value = key.findValue(toU16(val_list[i].ve_valuename));
            if (!value) return ERROR_FILE_NOT_FOUND;
            val_list[i].ve_valuelen = static_cast<DWORD>(value->data.size());
            val_list[i].ve_type = value->type;
            total += value->data.size();
            found.push_back(value);
        }
        if (!lpValueBuf || *ldwTotsize < total) {
            *ldwTotsize = static_cast<DWORD>(total);
            return ERROR_MORE_DATA;
        }
        BYTE* out = reinterpret_cast<BYTE*>(lpValueBuf);
        for (DWORD i = 0; i < num_vals; ++i) {
            if (!found[i]->data.empty()) std::memcpy(out, found[i]->data.data(), found[i]->data.size());
            val_list[i].ve_valueptr = reinterpret_cast<DWORD_PTR>(out);
            out += found[i]->data.size();
        }
        *ldwTotsize = static_cast<DWORD>(total);
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegSaveKeyW(HKEY hKey, LPCWSTR lpFile, const LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    ApiCall call("RegSaveKeyW", lpFile);
    if (call.fault()) return call.status();
    (void)lpSecurityAttributes;
    if (!lpFile || !*lpFile) return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    LSTATUS status = resolveHandle(hKey, ref);
    if (status != ERROR_SUCCESS) return status;
    if (!privilegeEnabled(u"SeBackupPrivilege")) return ERROR_PRIVILEGE_NOT_HELD;
    std::string host;
    DWORD pathError = 0;
    if (!hostPath(lpFile, host, &pathError)) return static_cast<LSTATUS>(pathError);
    if (!fileWriteAllowed(host)) return ERROR_ACCESS_DENIED;
    // The saved key becomes the file's one root; volatile keys are not saved.
    std::string bytes;
    status = RegistryStore::instance().read([&](RegTree& tree) -> LSTATUS {
        RegKey* key = lookup(tree, ref);
        if (!key) return ERROR_KEY_DELETED;
        RegTree saved;
        saved.allowRoots({kSavedRoot});
        saved.root(kSavedRoot, true)->copyContentFrom(*key, false);
        bytes = formatRegFile(saved, false);
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errnoStatus(errno);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int error = errno;
            ::close(fd);
            ::unlink(host.c_str());
            return errnoStatus(error);
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) return ERROR_CANTWRITE;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegRestoreKeyW(HKEY hKey, LPCWSTR lpFile, DWORD dwFlags) {
    ApiCall call("RegRestoreKeyW", lpFile);
    if (call.fault()) return call.status();
    if (!lpFile || !*lpFile) return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    LSTATUS status = resolveHandle(hKey, ref);
    if (status != ERROR_SUCCESS) return status;
    if (!privilegeEnabled(u"SeRestorePrivilege")) return ERROR_PRIVILEGE_NOT_HELD;
    std::string host;
    DWORD pathError = 0;
    if (!hostPath(lpFile, host, &pathError)) return static_cast<LSTATUS>(pathError);
    std::string bytes;
    {
        int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errnoStatus(errno);
        char chunk[65536];
        ssize_t n;
        while ((n = ::read(fd, chunk, sizeof chunk)) != 0) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                ::close(fd);
                return ERROR_CANTREAD;
            }
            bytes.append(chunk, static_cast<size_t>(n));
        }
        ::close(fd);
    }
    RegTree saved;
    saved.allowRoots({kSavedRoot});
    RegParseResult parsed = parseRegText(decodeRegBytes(bytes), saved, false);
    if (!parsed.hasHeader || parsed.badLines) return ERROR_NOT_REGISTRY_FILE;
    const RegKey* source = saved.root(kSavedRoot, true);
    return RegistryStore::instance().write([&](RegTree& tree) -> LSTATUS {
        RegKey* key = lookup(tree, ref);
        if (!key) return ERROR_KEY_DELETED;
        if (standardUserBlocked(ref)) return ERROR_ACCESS_DENIED;
        key->copyContentFrom(*source, key->isVolatile || (dwFlags & REG_WHOLE_HIVE_VOLATILE));
        return ERROR_SUCCESS;
    });
}
