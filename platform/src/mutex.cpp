// Mutexes: CreateMutexW, WaitForSingleObject, ReleaseMutex.
//
// An unnamed mutex lives in its process.  A named one is one object for every
// process of the machine: the lock file <machine>/mutexes/<Local|Global>/<name>,
// whose open-file-description locks say what the processes share:
//   byte kOpen  a shared lock while the process holds a handle: the name
//               exists while any process does;
//   byte kOwn   an exclusive lock while a thread of the process owns it;
//   byte 0      '1' from acquiring to releasing: a process that ended owning
//               the mutex leaves it there, and the next owner is told
//               WAIT_ABANDONED.
// Creation is serialised by an flock on <machine>/mutexes/.lock, so that
// whether a name existed is answered once.  Within a process every handle of
// a name refers to one state; ownership belongs to a thread and counts its
// acquisitions.  Another process's owner is waited for by polling its lock.
// A process made by fork() must not use the mutex handles it inherited.
#include "internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace plxsim {
namespace {

constexpr off_t kOpen = 1, kOwn = 2;

bool setLock(int fd, off_t at, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Whether another open file description holds a lock on the byte.
bool lockedElsewhere(int fd, off_t at) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

void writeMarker(int fd, char value) {
    while (pwrite(fd, &value, 1, 0) < 0 && errno == EINTR) {
    }
}

class MutexState;

// The mutexes this thread owns, abandoned when it ends owning them.
struct OwnedByThread {
    std::vector<std::weak_ptr<MutexState>> states;
    ~OwnedByThread();
};
thread_local OwnedByThread t_owned;

class MutexState : public std::enable_shared_from_this<MutexState> {
public:
    explicit MutexState(int fd) : m_fd(fd) {}  // -1: unnamed
    ~MutexState() {
        if (m_fd >= 0) close(m_fd);  // releases this process's locks
    }
    MutexState(const MutexState&) = delete;
    MutexState& operator=(const MutexState&) = delete;

    // Ownership by the creating thread of a new mutex.
    void own() {
        std::lock_guard<std::mutex> guard(m_lock);
        becomeOwner();
    }

    DWORD wait(DWORD milliseconds) {
        using Clock = std::chrono::steady_clock;
        const bool forever = milliseconds == INFINITE;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_count > 0 && m_owner == std::this_thread::get_id()) {
            ++m_count;
            return WAIT_OBJECT_0;
        }
        // First the process's own threads, then the other processes.
        while (m_claimed) {
            if (forever)
                m_cv.wait(lock);
            else if (m_cv.wait_until(lock, deadline) == std::cv_status::timeout && m_claimed)
                return WAIT_TIMEOUT;
        }
        m_claimed = true;
        m_owner = std::this_thread::get_id();
        lock.unlock();
        bool owned = m_fd < 0;
        for (int pause = 1; !owned; pause = std::min(pause * 2, 16)) {
            owned = setLock(m_fd, kOwn, F_WRLCK);
            if (owned || (!forever && Clock::now() >= deadline)) break;
            Clock::duration wait = std::chrono::milliseconds(pause);
            if (!forever) wait = std::min(wait, deadline - Clock::now());
            std::this_thread::sleep_for(wait);
        }
        lock.lock();
        if (!owned) {
            m_claimed = false;
            m_cv.notify_one();
            return WAIT_TIMEOUT;
        }
        bool abandoned = m_abandoned;
        char marker = '0';
        if (m_fd >= 0 && pread(m_fd, &marker, 1, 0) == 1) abandoned = marker == '1';
        becomeOwner();
        return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
    }

    // False when the calling thread does not own the mutex.
    bool release() {
        std::shared_ptr<MutexState> keep;  // dropped after the lock
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_count == 0 || m_owner != std::this_thread::get_id()) return false;
        if (--m_count == 0) keep = letGo(false);
        return true;
    }

    // The owning thread ended without releasing.  A forked child's copy of the
    // thread has nothing to give up: the locks are its parent's.
    void abandon() {
        std::shared_ptr<MutexState> keep;
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_count > 0 && m_owner == std::this_thread::get_id() && m_pid == getpid()) keep = letGo(true);
    }

private:
    void becomeOwner() {
        m_claimed = true;
        m_owner = std::this_thread::get_id();
        m_count = 1;
        m_abandoned = false;
        if (m_fd >= 0) writeMarker(m_fd, '1');
        // An owned mutex outlives its handles: its owner may still release it.
        m_self = shared_from_this();
        t_owned.states.push_back(m_self);
    }

    std::shared_ptr<MutexState> letGo(bool abandoned) {
        m_count = 0;
        m_claimed = false;
        m_abandoned = abandoned;
        if (m_fd >= 0) {
            if (!abandoned) writeMarker(m_fd, '0');
            setLock(m_fd, kOwn, F_UNLCK);
        }
        std::vector<std::weak_ptr<MutexState>>& owned = t_owned.states;
        owned.erase(std::remove_if(owned.begin(), owned.end(),
                                   [this](const std::weak_ptr<MutexState>& w) { return w.lock().get() == this; }),
                    owned.end());
        m_cv.notify_one();
        return std::move(m_self);
    }

    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_claimed = false;  // a thread of this process owns it or is taking it
    std::thread::id m_owner;
    DWORD m_count = 0;
    bool m_abandoned = false;  // unnamed: its owner ended owning it
    int m_fd;
    const pid_t m_pid = getpid();
    std::shared_ptr<MutexState> m_self;
};

OwnedByThread::~OwnedByThread() {
    std::vector<std::weak_ptr<MutexState>> left;
    left.swap(states);
    for (const std::weak_ptr<MutexState>& owned : left)
        if (std::shared_ptr<MutexState> state = owned.lock()) state->abandon();
}

// The named mutexes of this process: machine and name -> state.
struct Names {
    std::mutex lock;  // also held while a mutex handle is looked up or destroyed
    struct Entry {
        pid_t pid;  // the process that made it (a forked child does not share it)
        std::weak_ptr<MutexState> state;
    };
    std::map<std::string, Entry> byName;
};

Names& names() {
    static Names* table = new Names;
    return *table;
}

class MutexHandle : public KernelObject {
public:
    explicit MutexHandle(std::shared_ptr<MutexState> state) : m_state(std::move(state)) {}
    ~MutexHandle() override {
        std::lock_guard<std::mutex> guard(names().lock);
        m_state.reset();
    }
    const std::shared_ptr<MutexState>& state() const { return m_state; }

private:
    std::shared_ptr<MutexState> m_state;
};

std::shared_ptr<MutexState> stateOf(HANDLE handle) {
    std::lock_guard<std::mutex> guard(names().lock);
    MutexHandle* mutex = findHandleAs<MutexHandle>(handle);
    return mutex ? mutex->state() : nullptr;
}

// The lock file's name for an object name: bytes that are safe in a host name
// as they are, others as %XX; a long name by its hash.
std::string fileNameOf(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    if (out.size() <= 200 && out != "." && out != "..") return out;
    return "%hash-" + std::to_string(std::hash<std::string>()(name)) + "-" + std::to_string(name.size());
}

bool makeDirectory(const std::string& dir) { return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST; }

HANDLE fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

}  // namespace
}  // namespace plxsim

using namespace plxsim;

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES /*lpMutexAttributes*/, BOOL bInitialOwner, LPCWSTR lpName) {
    ApiCall call("CreateMutexW", lpName);
    if (call.fault()) return call.fail(nullptr);
    if (!lpName || !lpName[0]) {
        auto state = std::make_shared<MutexState>(-1);
        if (bInitialOwner) state->own();
        SetLastError(ERROR_SUCCESS);
        return addHandle(std::make_unique<MutexHandle>(state));
    }
    // The session's namespace ("Local\", or no prefix) or the global one; the
    // rest names an object in it, and a further backslash a directory that is not there.
    std::u16string name = toU16(lpName);
    std::string space = "Local";
    if (name.compare(0, 6, u"Local\\") == 0) {
        name.erase(0, 6);
    } else if (name.compare(0, 7, u"Global\\") == 0) {
        name.erase(0, 7);
        space = "Global";
    }
    if (name.empty()) return fail(ERROR_INVALID_NAME);
    if (name.find(u'\\') != std::u16string::npos) return fail(ERROR_PATH_NOT_FOUND);

    const MachineConfig& config = machine();
    const std::string key = config.dir + "\n" + space + "\n" + toUtf8(name);
    Names& all = names();
    std::lock_guard<std::mutex> guard(all.lock);
    auto it = all.byName.find(key);
    if (it != all.byName.end() && it->second.pid == getpid()) {
        if (std::shared_ptr<MutexState> state = it->second.state.lock()) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return addHandle(std::make_unique<MutexHandle>(state));
        }
    }
    const std::string dir = config.dir + "/mutexes";
    if (!makeDirectory(dir) || !makeDirectory(dir + "/" + space)) return fail(ERROR_ACCESS_DENIED);
    const std::string file = dir + "/" + space + "/" + fileNameOf(toUtf8(name));
    int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    int creation = open((dir + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || creation < 0) {
        if (fd >= 0) close(fd);
        if (creation >= 0) close(creation);
        return fail(ERROR_ACCESS_DENIED);
    }
    while (flock(creation, LOCK_EX) != 0 && errno == EINTR) {
    }
    bool existed = lockedElsewhere(fd, kOpen);
    setLock(fd, kOpen, F_RDLCK);
    auto state = std::make_shared<MutexState>(fd);
    if (!existed) {
        // A new object: nothing a former one left counts.
        writeMarker(fd, '0');
        if (bInitialOwner && setLock(fd, kOwn, F_WRLCK)) state->own();
    }
    close(creation);
    all.byName[key] = Names::Entry{getpid(), state};
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return addHandle(std::make_unique<MutexHandle>(state));
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    ApiCall call("WaitForSingleObject", CallSubject(dwMilliseconds));
    if (call.fault()) return call.fail(WAIT_FAILED);
    std::shared_ptr<MutexState> state = stateOf(hHandle);
    if (!state) {
        // Only mutexes can be waited for on this machine.
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return state->wait(dwMilliseconds);
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    ApiCall call("ReleaseMutex");
    if (call.fault()) return call.fail(FALSE);
    std::shared_ptr<MutexState> state = stateOf(hMutex);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!state->release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
