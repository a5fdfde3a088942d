// The process token: which privileges the machine's user holds and which of
// them this process has enabled.  The enabled state belongs to the process,
// as on Windows; every token handle of the process refers to the same token.
#include "internal.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

struct PrivilegeName {
    const char16_t* name;
    DWORD luid;
};

// The privilege names Windows knows, with the LUIDs a Windows machine gives them.
const PrivilegeName kPrivileges[] = {
    {u"SeCreateTokenPrivilege", 2},
    {u"SeAssignPrimaryTokenPrivilege", 3},
    {u"SeLockMemoryPrivilege", 4},
    {u"SeIncreaseQuotaPrivilege", 5},
    {u"SeMachineAccountPrivilege", 6},
    {u"SeTcbPrivilege", 7},
    {u"SeSecurityPrivilege", 8},
    {u"SeTakeOwnershipPrivilege", 9},
    {u"SeLoadDriverPrivilege", 10},
    {u"SeSystemProfilePrivilege", 11},
    {u"SeSystemtimePrivilege", 12},
    {u"SeProfileSingleProcessPrivilege", 13},
    {u"SeIncreaseBasePriorityPrivilege", 14},
    {u"SeCreatePagefilePrivilege", 15},
    {u"SeCreatePermanentPrivilege", 16},
    {u"SeBackupPrivilege", 17},
    {u"SeRestorePrivilege", 18},
    {u"SeShutdownPrivilege", 19},
    {u"SeDebugPrivilege", 20},
    {u"SeAuditPrivilege", 21},
    {u"SeSystemEnvironmentPrivilege", 22},
    {u"SeChangeNotifyPrivilege", 23},
    {u"SeRemoteShutdownPrivilege", 24},
    {u"SeUndockPrivilege", 25},
    {u"SeSyncAgentPrivilege", 26},
    {u"SeEnableDelegationPrivilege", 27},
    {u"SeManageVolumePrivilege", 28},
    {u"SeImpersonatePrivilege", 29},
    {u"SeCreateGlobalPrivilege", 30},
    {u"SeTrustedCredManAccessPrivilege", 31},
    {u"SeRelabelPrivilege", 32},
    {u"SeIncreaseWorkingSetPrivilege", 33},
    {u"SeTimeZonePrivilege", 34},
    {u"SeCreateSymbolicLinkPrivilege", 35},
    {u"SeDelegateSessionUserImpersonatePrivilege", 36},
};

const DWORD kBackup = 17, kRestore = 18, kShutdown = 19, kChangeNotify = 23;

// ERROR_NOACCESS is what Windows reports for an output pointer it cannot write.
const DWORD kRpcServerUnavailable = 1722;  // RPC_S_SERVER_UNAVAILABLE

const DWORD kTokenAllAccess = 0x000F01FF;  // TOKEN_ALL_ACCESS
const DWORD kMaximumAllowed = 0x02000000;  // MAXIMUM_ALLOWED

bool lookupName(const std::u16string& name, DWORD& luid) {
    for (const PrivilegeName& p : kPrivileges) {
        if (plxsim::equalNoCase(name, p.name)) {
            luid = p.luid;
            return true;
        }
    }
    return false;
}

const char16_t* nameOf(DWORD luid) {
    for (const PrivilegeName& p : kPrivileges)
        if (p.luid == luid) return p.name;
    return nullptr;
}

class Token : public plxsim::KernelObject {
public:
    explicit Token(DWORD access) : m_access(access) {}
    bool allows(DWORD right) const { return (m_access & right) == right; }

private:
    DWORD m_access;
};

// The token's privileges: LUID -> attributes.  Built from the machine's user
// on first use; a new machine (PLX_MACHINE names another directory) is a new
// logon, so the state starts again there.
class TokenState {
public:
    std::map<DWORD, DWORD>& privileges() {
        const plxsim::MachineConfig& config = plxsim::machine();
        if (!m_built || config.dir != m_machineDir) {
            m_privileges.clear();
            m_privileges[kShutdown] = 0;
            m_privileges[kChangeNotify] = SE_PRIVILEGE_ENABLED_BY_DEFAULT | SE_PRIVILEGE_ENABLED;
            if (config.administrator) {
                m_privileges[kBackup] = 0;
                m_privileges[kRestore] = 0;
            }
            m_machineDir = config.dir;
            m_built = true;
        }
        return m_privileges;
    }
    std::mutex& lock() { return m_lock; }

private:
    std::mutex m_lock;
    bool m_built = false;
    std::string m_machineDir;
    std::map<DWORD, DWORD> m_privileges;
};

TokenState& tokenState() {
    static TokenState* state = new TokenState;
    return *state;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool isLuidOfMachine(const LUID& luid) { return luid.HighPart == 0 && nameOf(luid.LowPart) != nullptr; }

DWORD privilegesSize(size_t count) {
    return static_cast<DWORD>(offsetof(TOKEN_PRIVILEGES, Privileges) + count * sizeof(LUID_AND_ATTRIBUTES));
}

// Generic rights as Windows maps them for token objects.
DWORD mapTokenAccess(DWORD access) {
    DWORD mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | kMaximumAllowed);
    if (access & GENERIC_READ) mapped |= STANDARD_RIGHTS_READ | TOKEN_QUERY;
    if (access & GENERIC_WRITE)
        mapped |= STANDARD_RIGHTS_WRITE | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT;
    if (access & GENERIC_EXECUTE) mapped |= STANDARD_RIGHTS_EXECUTE | TOKEN_IMPERSONATE;
    if (access & (GENERIC_ALL | kMaximumAllowed)) mapped |= kTokenAllAccess;
    return mapped;
}

}  // namespace

namespace plxsim {

bool privilegeEnabled(const std::u16string& name) {
    DWORD luid;
    if (!lookupName(name, luid)) return false;
    TokenState& state = tokenState();
    std::lock_guard<std::mutex> guard(state.lock());
    std::map<DWORD, DWORD>& held = state.privileges();
    auto it = held.find(luid);
    return it != held.end() && (it->second & SE_PRIVILEGE_ENABLED) != 0;
}

}  // namespace plxsim

using namespace plxsim;

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    ApiCall call("OpenProcessToken", CallSubject::hex(DesiredAccess));
    if (call.fault()) return call.fail(FALSE);
    if (ProcessHandle != GetCurrentProcess()) return fail(ERROR_INVALID_HANDLE);
    if (!TokenHandle) return fail(ERROR_NOACCESS);
    // The process's own user may open its token with any access.
    *TokenHandle = addHandle(std::unique_ptr<KernelObject>(new Token(mapTokenAccess(DesiredAccess))));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid) {
    ApiCall call("LookupPrivilegeValueW", lpName);
    if (call.fault()) return call.fail(FALSE);
    // Only the local machine is reachable.
    if (lpSystemName && lpSystemName[0]) return fail(kRpcServerUnavailable);
    if (!lpName || !lpLuid) return fail(ERROR_INVALID_PARAMETER);
    DWORD luid;
    if (!lookupName(toU16(lpName), luid)) return fail(ERROR_NO_SUCH_PRIVILEGE);
    lpLuid->LowPart = luid;
    lpLuid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                                  DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
    ApiCall call("AdjustTokenPrivileges");
    if (call.fault()) return call.fail(FALSE);
    Token* token = findHandleAs<Token>(TokenHandle);
    if (!token) return fail(ERROR_INVALID_HANDLE);
    if (!token->allows(TOKEN_ADJUST_PRIVILEGES)) return fail(ERROR_ACCESS_DENIED);
    if (PreviousState && !token->allows(TOKEN_QUERY)) return fail(ERROR_ACCESS_DENIED);
    if (!DisableAllPrivileges && !NewState) return fail(ERROR_INVALID_PARAMETER);
    if (PreviousState && !ReturnLength) return fail(ERROR_NOACCESS);

    TokenState& state = tokenState();
    std::lock_guard<std::mutex> guard(state.lock());
    std::map<DWORD, DWORD> held = state.privileges();  // changed on a copy, stored when all is well
    std::map<DWORD, DWORD> before;                     // first previous state of each changed privilege
    std::vector<DWORD> changedOrder;
    bool allAssigned = true;

    auto change = [&](DWORD luid, DWORD attributes) {
        DWORD& current = held[luid];
        if (current == attributes) return;
        if (before.find(luid) == before.end()) {
            before[luid] = current;
            changedOrder.push_back(luid);
        }
        current = attributes;
    };

    if (DisableAllPrivileges) {
        for (auto& entry : held) change(entry.first, entry.second & ~SE_PRIVILEGE_ENABLED);
    } else {
        for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& wanted = *(&NewState->Privileges[0] + i);
            if (!isLuidOfMachine(wanted.Luid) || held.find(wanted.Luid.LowPart) == held.end()) {
                allAssigned = false;
                continue;
            }
            DWORD luid = wanted.Luid.LowPart;
            if (wanted.Attributes & SE_PRIVILEGE_REMOVED) {
                before.emplace(luid, held[luid]);
                if (std::find(changedOrder.begin(), changedOrder.end(), luid) == changedOrder.end())
                    changedOrder.push_back(luid);
                held.erase(luid);
                continue;
            }
            DWORD keep = held[luid] & SE_PRIVILEGE_ENABLED_BY_DEFAULT;
            change(luid, keep | (wanted.Attributes & SE_PRIVILEGE_ENABLED));
        }
    }

    if (PreviousState) {
        DWORD needed = privilegesSize(changedOrder.size());
        *ReturnLength = needed;
        // Too small a buffer for the previous state leaves the token unchanged.
        if (BufferLength < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
        PreviousState->PrivilegeCount = static_cast<DWORD>(changedOrder.size());
        LUID_AND_ATTRIBUTES* entry = &PreviousState->Privileges[0];
        for (DWORD luid : changedOrder) {
            entry->Luid.LowPart = luid;
            entry->Luid.HighPart = 0;
            entry->Attributes = before[luid];
            ++entry;
        }
    }
    state.privileges() = held;
    // Success with a privilege that the token does not hold is still success.
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength) {
    ApiCall call("GetTokenInformation");
    if (call.fault()) return call.fail(FALSE);
    Token* token = findHandleAs<Token>(TokenHandle);
    if (!token) return fail(ERROR_INVALID_HANDLE);
    if (!token->allows(TOKEN_QUERY)) return fail(ERROR_ACCESS_DENIED);
    // The machine models the token's privileges only.
    if (TokenInformationClass != TokenPrivileges) return fail(ERROR_INVALID_PARAMETER);
    if (!ReturnLength) return fail(ERROR_NOACCESS);

    TokenState& state = tokenState();
    std::lock_guard<std::mutex> guard(state.lock());
    const std::map<DWORD, DWORD>& held = state.privileges();
    DWORD needed = privilegesSize(held.size());
    *ReturnLength = needed;
    if (!TokenInformation || TokenInformationLength < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    TOKEN_PRIVILEGES* out = static_cast<TOKEN_PRIVILEGES*>(TokenInformation);
    out->PrivilegeCount = static_cast<DWORD>(held.size());
    LUID_AND_ATTRIBUTES* entry = &out->Privileges[0];
    for (const auto& p : held) {
        entry->Luid.LowPart = p.first;
        entry->Luid.HighPart = 0;
        entry->Attributes = p.second;
        ++entry;
    }
    return TRUE;
}
