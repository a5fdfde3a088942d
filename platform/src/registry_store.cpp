// Loading, locking and atomic replacement of the machine's registry files.
#include "registry_store.h"

#include "sim_internal.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plxsim {
namespace {

const char kMainFile[] = "registry.reg";
const char kVolatileFile[] = "registry.volatile.reg";
const char kLockFile[] = "registry.lock";

// flock on registry.lock for the life of the object.
class RegistryLock {
public:
    RegistryLock(const std::string& dir, bool exclusive) {
        std::string path = dir + "/" + kLockFile;
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0 && !exclusive) m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);  // read-only directory
        if (m_fd < 0) return;
        int rc;
        do {
            rc = ::flock(m_fd, exclusive ? LOCK_EX : LOCK_SH);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~RegistryLock() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool closeChecked() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Whole file into bytes; a missing file is empty.
bool readWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno == ENOENT;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(chunk, static_cast<size_t>(n));
    }
}

// Temp file in the same directory, fsync, rename over the old one, fsync the
// directory: readers and a killed writer never see a torn file.
bool replaceFile(const std::string& dir, const char* name, const std::string& bytes) {
    std::string target = dir + "/" + name;
    std::string temp = target + ".tmp";
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || !fd.closeChecked()) return false;
    if (::rename(temp.c_str(), target.c_str()) != 0) return false;
    FileDescriptor dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
    return true;
}

// Keys every Windows machine has, whether or not a hand-made file names them.
void ensureBaseKeys(RegTree& tree) {
    for (const auto& name : RegTree::machineRoots()) tree.root(name, true);
    RegKey* software = tree.root(u"HKEY_LOCAL_MACHINE", true)->findSub(u"SOFTWARE");
    if (!software) software = tree.root(u"HKEY_LOCAL_MACHINE", true)->addSub(u"SOFTWARE", false);
    if (machine().x64 && !software->findSub(u"WOW6432Node")) software->addSub(u"WOW6432Node", false);
    RegKey* user = tree.root(u"HKEY_CURRENT_USER", true);
    if (!user->findSub(u"Software")) user->addSub(u"Software", false);
}

}  // namespace

RegistryStore& RegistryStore::instance() {
    static RegistryStore* store = new RegistryStore;  // lives until exit
    return *store;
}

RegistryStore::FileStamp RegistryStore::stampOf(const std::string& path) {
    FileStamp s;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<unsigned long long>(st.st_size);
    s.mtimeNs = static_cast<unsigned long long>(st.st_mtim.tv_sec) * 1000000000ull + st.st_mtim.tv_nsec;
    return s;
}

bool RegistryStore::refresh(const std::string& dir) {
    FileStamp mainStamp = stampOf(dir + "/" + kMainFile);
    FileStamp volatileStamp = stampOf(dir + "/" + kVolatileFile);
    // The base keys depend on the architecture, which machine.ini may change.
    if (dir == m_dir && machine().x64 == m_x64 && mainStamp == m_mainStamp && volatileStamp == m_volatileStamp)
        return true;
    m_dir.clear();
    std::string mainBytes, volatileBytes;
    if (!readWholeFile(dir + "/" + kMainFile, mainBytes) || !readWholeFile(dir + "/" + kVolatileFile, volatileBytes))
        return false;
    m_tree.clear();
    m_tree.allowRoots(RegTree::machineRoots());
    parseRegText(decodeRegBytes(mainBytes), m_tree, false);
    parseRegText(decodeRegBytes(volatileBytes), m_tree, true);
    ensureBaseKeys(m_tree);
    m_mainBytes = std::move(mainBytes);
    m_volatileBytes = std::move(volatileBytes);
    m_mainStamp = mainStamp;
    m_volatileStamp = volatileStamp;
    m_dir = dir;
    m_x64 = machine().x64;
    return true;
}

bool RegistryStore::save(const std::string& dir) {
    std::string mainBytes = formatRegFile(m_tree, false);
    if (mainBytes != m_mainBytes || !m_mainStamp.exists) {
        if (!replaceFile(dir, kMainFile, mainBytes)) return false;
        m_mainBytes = std::move(mainBytes);
        m_mainStamp = stampOf(dir + "/" + kMainFile);
    }
    bool anyVolatile = false;
    for (const auto& r : m_tree.roots()) anyVolatile = anyVolatile || r->hasVolatileDescendant();
    if (!anyVolatile) {
        if (m_volatileStamp.exists && ::unlink((dir + "/" + kVolatileFile).c_str()) != 0 && errno != ENOENT) return false;
        m_volatileBytes.clear();
        m_volatileStamp = FileStamp();
        return true;
    }
    std::string volatileBytes = formatRegFile(m_tree, true);
    if (volatileBytes != m_volatileBytes || !m_volatileStamp.exists) {
        if (!replaceFile(dir, kVolatileFile, volatileBytes)) return false;
        m_volatileBytes = std::move(volatileBytes);
        m_volatileStamp = stampOf(dir + "/" + kVolatileFile);
    }
    return true;
}

LSTATUS RegistryStore::read(const std::function<LSTATUS(RegTree&)>& fn) {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    const std::string& dir = machine().dir;
    // Without a lock file the directory is read-only: nobody can write there,
    // so reading unlocked is safe.
    RegistryLock lock(dir, false);
    if (!refresh(dir)) return ERROR_REGISTRY_IO_FAILED;
    return fn(m_tree);
}

LSTATUS RegistryStore::write(const std::function<LSTATUS(RegTree&)>& fn) {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    const std::string& dir = machine().dir;
    RegistryLock lock(dir, true);
    if (!lock.held() || !refresh(dir)) return ERROR_REGISTRY_IO_FAILED;
    LSTATUS status = fn(m_tree);
    if (status == ERROR_SUCCESS && !save(dir)) {
        m_dir.clear();  // the tree no longer matches the files: reload next time
        return ERROR_REGISTRY_IO_FAILED;
    }
    return status;
}

void RegistryStore::restart() {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    const std::string& dir = machine().dir;
    RegistryLock lock(dir, true);
    ::unlink((dir + "/" + kVolatileFile).c_str());
    m_dir.clear();
}

FILETIME RegistryStore::lastWriteTime() {
    FileStamp s = stampOf(machine().dir + "/" + kMainFile);
    // 100 ns intervals since 1601-01-01.
    unsigned long long ticks = s.mtimeNs / 100 + 116444736000000000ull;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

void registryRestart() { RegistryStore::instance().restart(); }

}  // namespace plxsim
