// The Win32 registry functions of the simulated machine: handles, views,
// access checks and Windows' result codes over the machine's registry files.
// Like Windows, Reg* functions return their status and leave the thread's
// last-error value alone.
#include "registry_store.h"
#include "internal.h"

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
const char16_t kCurrentUser[] = u"HKEY_CURRENT_USER";
// Root name of the files RegSaveKeyW writes: the saved key itself.
const char16_t kSavedRoot[] = u"SAVED_KEY";

const REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

// The key behind a handle: where it lies in the tree, after WOW64
// redirection, and the view it was opened in.  Keys opened or created below
// a handle keep its view whatever view flag their call names, as on
// Windows 7 (Vista took each call's flag); below a predefined key the call's
// flag chooses.  A key of HKEY_CLASSES_ROOT also keeps its path below that
// root: the keys below it are looked for in both hives again.
struct KeyRef {
    std::u16string root;               // the hive's root, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, ...
    std::vector<std::u16string> path;  // below root
    View view = View::Single;
    bool predefined = false;
    bool classes = false;
    std::vector<std::u16string> classesPath;  // below HKEY_CLASSES_ROOT
    REGSAM access = 0;
};

class RegistryKeyObject : public KernelObject {
public:
    explicit RegistryKeyObject(KeyRef keyRef) : ref(std::move(keyRef)) {}
    KeyRef ref;
};

View viewFor(REGSAM sam) {
    if (!machine().x64) return View::Single;
    if (sam & KEY_WOW64_64KEY) return View::Wow64;
    return View::Wow32;  // asked for, or the program's own
}

// The predefined keys.  HKEY_CLASSES_ROOT is no hive but the merged view of
// the machine's and the user's classes (see placeClassesKey); its own values
// are those of the machine's classes key.
bool predefinedKey(HKEY hKey, KeyRef& ref) {
    static const struct {
        HKEY handle;
        const char16_t* root;
    } roots[] = {{HKEY_CLASSES_ROOT, kLocalMachine},
                 {HKEY_CURRENT_USER, kCurrentUser},
                 {HKEY_LOCAL_MACHINE, kLocalMachine},
                 {HKEY_USERS, u"HKEY_USERS"},
                 {HKEY_CURRENT_CONFIG, u"HKEY_CURRENT_CONFIG"}};
    for (const auto& r : roots) {
        if (r.handle != hKey) continue;
        ref = KeyRef();
        ref.root = r.root;
        ref.view = viewFor(0);
        ref.predefined = true;
        ref.access = KEY_ALL_ACCESS;
        if (hKey == HKEY_CLASSES_ROOT) {
            ref.classes = true;
            ref.path = {u"SOFTWARE", u"Classes"};
        }
        return true;
    }
    return false;
}

LSTATUS resolveHandle(HKEY hKey, KeyRef& ref) {
    if (predefinedKey(hKey, ref)) return ERROR_SUCCESS;
    auto* object = findHandleAs<RegistryKeyObject>(reinterpret_cast<HANDLE>(hKey));
    if (!object) return ERROR_INVALID_HANDLE;
    ref = object->ref;
    return ERROR_SUCCESS;
}

// Appends a relative key path ("a\b", trailing "\" allowed, so "\" alone
// names the key itself) to path.
LSTATUS appendSubKey(std::vector<std::u16string>& path, LPCWSTR subKey) {
    std::u16string text = toU16(subKey);
    while (!text.empty() && text.back() == u'\\') text.pop_back();
    if (text.empty()) return ERROR_SUCCESS;
    if (text[0] == u'\\') return ERROR_BAD_PATHNAME;
    for (auto& part : splitKeyPath(text)) {
        if (part.empty()) return ERROR_BAD_PATHNAME;
        path.push_back(std::move(part));
    }
    return ERROR_SUCCESS;
}

// Sub keys of HKLM\SOFTWARE that 64-bit Windows (7 and later) shares between
// the views rather than redirecting them to SOFTWARE\WOW6432Node; of the
// shared Classes, and of the user's HKCU\Software\Classes, these sub keys
// are redirected to Classes\Wow6432Node.
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

// WOW64 redirection of a key of the 32-bit view: "WOW6432Node" goes into its
// path where the view's keys branch off.  A path that names the node there
// already is left alone, so a path redirected once stays as it is.
void redirect(KeyRef& ref) {
    std::vector<std::u16string>& path = ref.path;
    if (ref.view != View::Wow32 || path.empty() || !equalNoCase(path[0], u"SOFTWARE")) return;
    const bool machineKey = equalNoCase(ref.root, kLocalMachine);
    if (!machineKey && !equalNoCase(ref.root, kCurrentUser)) return;
    size_t at;
    if (path.size() > 2 && equalNoCase(path[1], u"Classes") && named(path[2], kRedirectedClassesKeys))
        at = 2;
    else if (machineKey &&
             (path.size() == 1 || (!equalNoCase(path[1], kRedirectionNode) && !named(path[1], kSharedSoftwareKeys))))
        at = 1;
    else
        return;
    path.insert(path.begin() + static_cast<std::ptrdiff_t>(at), kRedirectionNode);
}

// The key lpSubKey names below hKey: base is hKey's own key; ref, the sub
// key, starts with base's access and view.  A key of HKEY_CLASSES_ROOT is
// placed in its hive only under the registry lock (placeClassesKey).
LSTATUS subKeyOf(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, KeyRef& base, KeyRef& ref) {
    LSTATUS status = resolveHandle(hKey, base);
    if (status != ERROR_SUCCESS) return status;
    ref = base;
    ref.predefined = false;
    if (base.predefined) ref.view = viewFor(samDesired);
    status = appendSubKey(ref.classes ? ref.classesPath : ref.path, lpSubKey);
    if (!ref.classes) redirect(ref);
    return status;
}

RegKey* lookup(RegTree& tree, const KeyRef& ref) { return tree.find(ref.root, ref.path); }

// Puts ref, a key of HKEY_CLASSES_ROOT, at the first `depth` components of
// its path in the user's classes or the machine's.
void placeIn(KeyRef& ref, bool user, size_t depth) {
    ref.root = user ? kCurrentUser : kLocalMachine;
    ref.path = {user ? u"Software" : u"SOFTWARE", u"Classes"};
    ref.path.insert(ref.path.end(), ref.classesPath.begin(),
                    ref.classesPath.begin() + static_cast<std::ptrdiff_t>(depth));
    redirect(ref);
}

// The merged view: a key of HKEY_CLASSES_ROOT is the user's key when there is
// one, else the machine's.  One that is in neither goes where its nearest
// parent is, so that a new key below the root is the machine's.
void placeClassesKey(RegTree& tree, KeyRef& ref) {
    for (size_t depth = ref.classesPath.size(); depth > 0; --depth) {
        for (bool user : {true, false}) {
            KeyRef candidate = ref;
            placeIn(candidate, user, depth);
            if (lookup(tree, candidate)) return placeIn(ref, user, ref.classesPath.size());
        }
    }
    placeIn(ref, false, ref.classesPath.size());
}

// The sub keys a handle lists, in name order: a key's own, and for a key of
// HKEY_CLASSES_ROOT those of the same key in the other hive as well, the
// user's where both have one of a name.
class SubKeyList {
public:
    SubKeyList(RegTree& tree, const KeyRef& ref, const RegKey& key) : m_own(key.subKeys()) {
        if (!ref.classes) return;
        const bool inUser = equalNoCase(ref.root, kCurrentUser);
        KeyRef other = ref;
        placeIn(other, !inUser, other.classesPath.size());
        const RegKey* partner = lookup(tree, other);
        if (!partner) return;
        const auto& user = inUser ? m_own : partner->subKeys();
        const auto& machine = inUser ? partner->subKeys() : m_own;
        auto u = user.begin(), m = machine.begin();
        while (u != user.end() || m != machine.end()) {
            if (u == user.end() || (m != machine.end() && (*m)->sortKey() < (*u)->sortKey())) {
                m_merged.push_back(m++->get());
                continue;
            }
            if (m != machine.end() && (*m)->sortKey() == (*u)->sortKey()) ++m;
            m_merged.push_back(u++->get());
        }
        m_isMerged = true;
    }
    size_t size() const { return m_isMerged ? m_merged.size() : m_own.size(); }
    const RegKey& operator[](size_t i) const { return m_isMerged ? *m_merged[i] : *m_own[i]; }

private:
    const std::vector<std::unique_ptr<RegKey>>& m_own;
    std::vector<const RegKey*> m_merged;
    bool m_isMerged = false;
};

// A standard user (not elevated) may read HKEY_LOCAL_MACHINE but not change it.
bool standardUserBlocked(const KeyRef& ref) { return !machine().administrator && equalNoCase(ref.root, kLocalMachine); }

// The rights a handle is granted: those asked for, and for MAXIMUM_ALLOWED
// every right the user holds on the key.
REGSAM grantedAccess(REGSAM samDesired, const KeyRef& ref) {
    REGSAM access = samDesired & ~static_cast<REGSAM>(KEY_WOW64_RES | MAXIMUM_ALLOWED);
    if (samDesired & MAXIMUM_ALLOWED) access |= standardUserBlocked(ref) ? KEY_READ : KEY_ALL_ACCESS;
    return access;
}

HKEY newHandle(KeyRef ref) {
    return reinterpret_cast<HKEY>(addHandle(std::make_unique<RegistryKeyObject>(std::move(ref))));
}

// Runs fn(tree, ref, key) on the key behind a handle opened with the rights in need.
template <class F>
LSTATUS onKeyOf(HKEY hKey, REGSAM need, bool modifies, F fn) {
    KeyRef ref;
    LSTATUS status = resolveHandle(hKey, ref);
    if (status != ERROR_SUCCESS) return status;
    if ((ref.access & need) != need) return ERROR_ACCESS_DENIED;
    if (modifies && standardUserBlocked(ref)) return ERROR_ACCESS_DENIED;
    auto body = [&](RegTree& tree) -> LSTATUS {
        RegKey* key = lookup(tree, ref);
        return key ? fn(tree, ref, *key) : ERROR_KEY_DELETED;
    };
    RegistryStore& store = RegistryStore::instance();
    return modifies ? store.write(body) : store.read(body);
}

// Runs fn(key) on the key behind a handle opened with the rights in need.
template <class F>
LSTATUS onKey(HKEY hKey, REGSAM need, bool modifies, F fn) {
    return onKeyOf(hKey, need, modifies, [&](RegTree&, const KeyRef&, RegKey& key) { return fn(key); });
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
    ApiCall call("RegOpenKeyExW", lpSubKey, CallSubject::hex(samDesired));
    if (call.fault()) {
        *phkResult = nullptr;
        return call.status();
    }
    if (!hKey) return ERROR_INVALID_HANDLE;  // refused before the result is written
    *phkResult = nullptr;
    KeyRef base;
    if ((!lpSubKey || !*lpSubKey) && predefinedKey(hKey, base)) {
        *phkResult = hKey;  // a predefined key is handed back itself
        return ERROR_SUCCESS;
    }
    KeyRef ref;
    LSTATUS status = subKeyOf(hKey, lpSubKey, samDesired, base, ref);
    if (status != ERROR_SUCCESS) return status;
    status = RegistryStore::instance().read([&](RegTree& tree) -> LSTATUS {
        if (!lookup(tree, base)) return ERROR_KEY_DELETED;
        if (ref.classes) placeClassesKey(tree, ref);
        return lookup(tree, ref) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (status != ERROR_SUCCESS) return status;
    ref.access = grantedAccess(samDesired, ref);
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
    const bool makeVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    status = RegistryStore::instance().write([&](RegTree& tree) -> LSTATUS {
        if (!lookup(tree, base)) return ERROR_KEY_DELETED;
        if (ref.classes) placeClassesKey(tree, ref);
        ref.access = grantedAccess(samDesired, ref);
        const std::vector<std::u16string>& path = ref.path;
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
    KeyRef predefined;
    if (predefinedKey(hKey, predefined)) return ERROR_SUCCESS;
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
    std::vector<BYTE> data(cbData);
    if (cbData && !copyFromProgram(data.data(), lpData, cbData)) return ERROR_NOACCESS;
    // A string whose size leaves out its terminator, while the character after
    // it is one, is stored with the terminator: Windows reads that character too.
    const bool text = dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
    const size_t chars = cbData / sizeof(WCHAR);
    WCHAR next = 1;
    if (text && chars && (data[2 * chars - 2] || data[2 * chars - 1]) &&
        copyFromProgram(&next, lpData + 2 * chars, sizeof next) && next == 0) {
        std::vector<BYTE> counted(cbData + sizeof(WCHAR));
        if (copyFromProgram(counted.data(), lpData, counted.size())) data = std::move(counted);
    }
    const std::u16string name = toU16(lpValueName);
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
LSTATUS deleteKey(const KeyRef& base, KeyRef ref, bool whole) {
    return RegistryStore::instance().write([&](RegTree& tree) -> LSTATUS {
        if (!lookup(tree, base)) return ERROR_KEY_DELETED;
        if (ref.classes) placeClassesKey(tree, ref);
        const std::vector<std::u16string>& path = ref.path;
        RegKey* key = lookup(tree, ref);
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
    return onKeyOf(hKey, KEY_ENUMERATE_SUB_KEYS, false, [&](RegTree& tree, const KeyRef& ref, RegKey& key) -> LSTATUS {
        SubKeyList subKeys(tree, ref, key);
        if (dwIndex >= subKeys.size()) return ERROR_NO_MORE_ITEMS;
        LSTATUS status = copyName(subKeys[dwIndex].name, lpName, lpcchName);
        if (status != ERROR_SUCCESS) return status;  // Windows leaves the count as it was
        if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;
        if (lpcchClass) *lpcchClass = 0;
        if (lpftLastWriteTime) *lpftLastWriteTime = RegistryStore::instance().lastWriteTime();
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    ApiCall call("RegEnumValueW", dwIndex);
    if (call.fault()) return call.status();
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    return onKey(hKey, KEY_QUERY_VALUE, false, [&](RegKey& key) -> LSTATUS {
        if (dwIndex >= key.values().size()) return ERROR_NO_MORE_ITEMS;
        const RegValue& value = key.values()[dwIndex];
        LSTATUS status = copyName(value.name, lpValueName, lpcchValueName);
        if (lpType) *lpType = value.type;
        if (status == ERROR_SUCCESS) return copyData(value, lpData, lpcbData);
        if (lpcbData) *lpcbData = static_cast<DWORD>(value.data.size());  // a name too long still gives the size
        return status;
    });
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                                LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                                PFILETIME lpftLastWriteTime) {
    ApiCall call("RegQueryInfoKeyW");
    if (call.fault()) return call.status();
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    return onKeyOf(hKey, KEY_QUERY_VALUE, false, [&](RegTree& tree, const KeyRef& ref, RegKey& key) -> LSTATUS {
        SubKeyList subKeys(tree, ref, key);
        size_t maxSub = 0, maxName = 0, maxData = 0;
        for (size_t i = 0; i < subKeys.size(); ++i) maxSub = std::max(maxSub, subKeys[i].name.size());
        for (const auto& value : key.values()) {
            maxName = std::max(maxName, value.name.size());
            maxData = std::max(maxData, value.data.size());
        }
        if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;  // keys have no class
        if (lpcchClass) *lpcchClass = 0;
        if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(subKeys.size());
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
