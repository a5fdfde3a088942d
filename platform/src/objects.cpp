// Kernel object handles and the thread's last-error value.
#include "internal.h"

#include <map>
#include <mutex>

namespace plxsim {
namespace {

struct HandleTable {
    std::mutex lock;
    std::map<uintptr_t, std::unique_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;  // multiples of 4, as Windows hands them out
};

HandleTable& table() {
    static HandleTable* instance = new HandleTable;  // lives until exit, never destroyed mid-call
    return *instance;
}

}  // namespace

HANDLE addHandle(std::unique_ptr<KernelObject> object) {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    uintptr_t value = t.next;
    t.next += 4;
    t.objects[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

KernelObject* findHandle(HANDLE handle) {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second.get();
}

bool removeHandle(HANDLE handle) {
    std::unique_ptr<KernelObject> doomed;
    {
        HandleTable& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == t.objects.end()) return false;
        doomed = std::move(it->second);
        t.objects.erase(it);
    }
    return true;  // destroyed outside the lock
}

}  // namespace plxsim

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD WINAPI GetLastError(void) { return t_lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }
