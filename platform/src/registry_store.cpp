// Loading, locking and atomic replacement of the machine's registry files.
#include "registry_store.h"

#include "internal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plxsim {
namespace {

const char kMainFile[] = "registry.reg";
const char kJournalFile[] = "registry.journal";
const char kVolatileFile[] = "registry.volatile.reg";
const char kLockFile[] = "registry.lock";
const char kOriginalFile[] = "registry.reg.orig";

// A journal starts as a .reg file does; each record ends with this line.
const char16_t kJournalHeader[] = u"Windows Registry Editor Version 5.00\r\n";
const char16_t kRecordEnd[] = u"\r\n;end\r\n";
// The journal is folded into registry.reg once it is this large and half the
// size of registry.reg: a fold then costs little per change.
const unsigned long long kFoldFrom = 4ull << 20;

// flock on registry.lock for the life of the object.
class RegistryLock {
public:
    RegistryLock(bool exclusive, const std::string& path) {
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

// The file from byte `from` on into bytes; a missing file is empty.
bool readWholeFile(const std::string& path, std::string& bytes, unsigned long long from = 0) {
    bytes.clear();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno == ENOENT;
    struct stat st;
    if (::fstat(fd.get(), &st) == 0 && static_cast<unsigned long long>(st.st_size) > from)
        bytes.reserve(static_cast<size_t>(st.st_size - static_cast<off_t>(from)));
    off_t offset = static_cast<off_t>(from);
    char chunk[1 << 16];
    for (;;) {
        ssize_t n = ::pread(fd.get(), chunk, sizeof chunk, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(chunk, static_cast<size_t>(n));
        offset += n;
    }
}

bool writeAll(int fd, const std::string& bytes, off_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void syncDirectory(const std::string& dir) {
    FileDescriptor dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
}

// Temp file in the same directory, fsync, rename over the old one, fsync the
// directory: readers and a killed writer never see a torn file.
bool replaceFile(const std::string& dir, const char* name, const std::string& bytes) {
    std::string target = dir + "/" + name;
    std::string temp = target + ".tmp";
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0) return false;
    if (!writeAll(fd.get(), bytes, 0) || ::fsync(fd.get()) != 0 || !fd.closeChecked()) return false;
    if (::rename(temp.c_str(), target.c_str()) != 0) return false;
    syncDirectory(dir);
    return true;
}

RegKey* ensureSub(RegKey* key, const char16_t* name) {
    RegKey* sub = key->findSub(name);
    return sub ? sub : key->addSub(name, false);
}

// Keys every Windows machine has, whether or not a hand-made file names them.
void ensureBaseKeys(RegTree& tree, bool x64) {
    for (const auto& name : RegTree::machineRoots()) tree.root(name, true);
    RegKey* software = ensureSub(tree.root(u"HKEY_LOCAL_MACHINE", true), u"SOFTWARE");
    if (x64) ensureSub(software, u"WOW6432Node");
    ensureSub(software, u"Classes");  // the machine's classes and the user's make up HKEY_CLASSES_ROOT
    ensureSub(ensureSub(tree.root(u"HKEY_CURRENT_USER", true), u"Software"), u"Classes");
}

// Journal bytes to the text of their whole records; `complete` is how many
// bytes those are (a record cut short by a killed writer is left out).
std::u16string wholeRecords(const std::string& bytes, bool fromStart, size_t& complete) {
    size_t skip = fromStart && bytes.compare(0, 2, "\xFF\xFE") == 0 ? 2 : 0;
    std::u16string text =
        decodeRegBytes(std::string("\xFF\xFE") + bytes.substr(skip, (bytes.size() - skip) & ~size_t(1)));
    size_t end = text.rfind(kRecordEnd);
    if (end == std::u16string::npos) {
        complete = 0;
        return std::u16string();
    }
    text.resize(end + std::char_traits<char16_t>::length(kRecordEnd));
    complete = skip + text.size() * 2;
    return text;
}

void foldAtExit() { RegistryStore::instance().foldLeftMachine(); }

}  // namespace

RegistryStore& RegistryStore::instance() {
    static RegistryStore* store = new RegistryStore;  // lives until exit
    return *store;
}

const RegistryStore::FilePaths& RegistryStore::pathsOf(const std::string& dir) {
    if (m_paths.dir != dir) {
        m_paths.dir = dir;
        m_paths.main = dir + "/" + kMainFile;
        m_paths.journal = dir + "/" + kJournalFile;
        m_paths.volatileKeys = dir + "/" + kVolatileFile;
        m_paths.lock = dir + "/" + kLockFile;
    }
    return m_paths;
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

bool RegistryStore::unchanged(const FilePaths& paths) const {
    return stampOf(paths.journal) == m_journalStamp && stampOf(paths.main) == m_mainStamp &&
           stampOf(paths.volatileKeys) == m_volatileStamp;
}

bool RegistryStore::refresh(const std::string& dir, bool x64) {
    const FilePaths& paths = pathsOf(dir);
    FileStamp mainStamp = stampOf(paths.main);
    FileStamp journalStamp = stampOf(paths.journal);
    FileStamp volatileStamp = stampOf(paths.volatileKeys);
    // The base keys depend on the architecture, which machine.ini may change.
    if (dir == m_dir && x64 == m_x64 && mainStamp == m_mainStamp && volatileStamp == m_volatileStamp) {
        if (journalStamp == m_journalStamp) return true;
        // Another process added records: read only those.
        if (journalStamp.exists && m_journalStamp.exists && journalStamp.device == m_journalStamp.device &&
            journalStamp.inode == m_journalStamp.inode && journalStamp.size >= m_journalApplied) {
            if (!applyJournal(dir)) return false;
            m_journalStamp = journalStamp;
            return true;
        }
    }
    if (!load(dir, x64)) return false;
    m_mainStamp = mainStamp;
    m_journalStamp = journalStamp;
    m_volatileStamp = volatileStamp;
    return true;
}

bool RegistryStore::load(const std::string& dir, bool x64) {
    m_dir.clear();
    std::string mainBytes, volatileBytes;
    const FilePaths& paths = pathsOf(dir);
    if (!readWholeFile(paths.main, mainBytes) || !readWholeFile(paths.volatileKeys, volatileBytes)) return false;
    m_tree.clear();
    m_tree.allowRoots(RegTree::machineRoots());
    RegParseResult parsed = parseRegText(decodeRegBytes(mainBytes), m_tree, false);
    mainBytes = std::string();
    m_mainHadBadLines = parsed.badLines > 0;
    if (m_mainHadBadLines) reportBadLines(paths.main, parsed);
    m_journalApplied = 0;
    if (!applyJournal(dir)) return false;
    parseRegText(decodeRegBytes(volatileBytes), m_tree, true);
    ensureBaseKeys(m_tree, x64);
    m_volatileBytes = std::move(volatileBytes);
    m_dir = dir;
    m_x64 = x64;
    return true;
}

bool RegistryStore::applyJournal(const std::string& dir) {
    std::string bytes;
    if (!readWholeFile(pathsOf(dir).journal, bytes, m_journalApplied)) return false;
    size_t complete = 0;
    std::u16string records = wholeRecords(bytes, m_journalApplied == 0, complete);
    if (complete) parseRegText(records, m_tree, false);
    m_journalApplied += complete;
    return true;
}

void RegistryStore::reportBadLines(const std::string& file, const RegParseResult& parsed) {
    for (const RegBadLine& bad : parsed.firstBadLines)
        std::fprintf(stderr, "%s:%zu: not loaded: %s\n", file.c_str(), bad.line, bad.why.c_str());
    if (parsed.badLines > parsed.firstBadLines.size())
        std::fprintf(stderr, "%s: and %zu more lines not loaded\n", file.c_str(),
                     static_cast<size_t>(parsed.badLines - parsed.firstBadLines.size()));
}

bool RegistryStore::appendToJournal(const std::u16string& text) {
    const std::string& path = pathsOf(m_dir).journal;
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (fd.get() < 0) return false;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return false;
    unsigned long long size = static_cast<unsigned long long>(st.st_size);
    std::string bytes;
    if (size == 0 || m_journalApplied == 0) {
        size = 0;  // new, or only a cut record: start afresh
        bytes = "\xFF\xFE" + utf16leBytes(kJournalHeader);
    } else {
        size = m_journalApplied;  // a record a killed writer left unfinished goes
    }
    if (size != static_cast<unsigned long long>(st.st_size) && ::ftruncate(fd.get(), static_cast<off_t>(size)) != 0)
        return false;
    bytes += utf16leBytes(text + kRecordEnd);
    if (!writeAll(fd.get(), bytes, static_cast<off_t>(size)) || ::fdatasync(fd.get()) != 0) {
        if (::ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
            // The cut record stays; readers skip it and the next change drops it.
        }
        return false;
    }
    if (size == 0) syncDirectory(m_dir);
    m_journalApplied = size + bytes.size();
    m_journalStamp = stampOf(path);
    if (m_foldDir != m_dir) {
        static bool registered = false;
        if (!registered) registered = std::atexit(foldAtExit) == 0;
        m_foldDir = m_dir;
    }
    return true;
}

bool RegistryStore::saveVolatile() {
    bool anyVolatile = false;
    for (const auto& r : m_tree.roots()) anyVolatile = anyVolatile || r->hasVolatileDescendant();
    const std::string& path = pathsOf(m_dir).volatileKeys;
    if (!anyVolatile) {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
        m_volatileBytes.clear();
        m_volatileStamp = FileStamp();
        return true;
    }
    std::string volatileBytes = formatRegFile(m_tree, true);
    if (volatileBytes != m_volatileBytes || !m_volatileStamp.exists) {
        if (!replaceFile(m_dir, kVolatileFile, volatileBytes)) return false;
        m_volatileBytes = std::move(volatileBytes);
        m_volatileStamp = stampOf(path);
    }
    return true;
}

bool RegistryStore::foldLocked() {
    const std::string& mainPath = pathsOf(m_dir).main;
    const std::string& journalPath = pathsOf(m_dir).journal;
    if (!m_journalStamp.exists && m_mainStamp.exists) return true;
    if (m_mainHadBadLines) {
        // The lines that did not load would be gone from the new file: keep
        // the file as it was, once, and say where.
        const std::string original = m_dir + "/" + kOriginalFile;
        if (::link(mainPath.c_str(), original.c_str()) == 0)
            std::fprintf(stderr, "%s: rewritten without the lines not loaded; the file as it was is %s\n",
                         mainPath.c_str(), original.c_str());
        else if (errno != EEXIST)
            return false;
    }
    if (!replaceFile(m_dir, kMainFile, formatRegFile(m_tree, false))) return false;
    if (::unlink(journalPath.c_str()) != 0 && errno != ENOENT) return false;
    syncDirectory(m_dir);
    m_mainHadBadLines = false;
    m_mainStamp = stampOf(mainPath);
    m_journalStamp = FileStamp();
    m_journalApplied = 0;
    return true;
}

bool RegistryStore::flush() {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    const MachineConfig& current = machine();
    const std::string& dir = current.dir;
    if (!m_foldDir.empty() && m_foldDir != dir) foldLeftMachine();
    RegistryLock lock(true, pathsOf(dir).lock);
    if (!lock.held() || !refresh(dir, current.x64)) return false;
    if (m_foldDir == dir) m_foldDir.clear();
    return foldLocked();
}

void RegistryStore::foldLeftMachine() {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    if (m_foldDir.empty()) return;
    const std::string dir = m_foldDir;
    m_foldDir.clear();
    RegistryLock lock(true, pathsOf(dir).lock);
    if (!lock.held()) return;
    // The tree is the folded machine's, or was until an error: then the
    // journal stays, and the next load replays it.
    const bool current = dir == machine().dir;
    if (!current && dir != m_dir) return;
    if (refresh(dir, current ? machine().x64 : m_x64)) foldLocked();
}

LSTATUS RegistryStore::read(const std::function<LSTATUS(RegTree&)>& fn) {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    const MachineConfig& current = machine();
    const std::string& dir = current.dir;
    if (!m_foldDir.empty() && m_foldDir != dir) foldLeftMachine();
    // Files unchanged since this process read them hold what m_tree holds: a
    // change in progress elsewhere has not returned yet, so it may follow.
    if (dir == m_dir && current.x64 == m_x64 && unchanged(pathsOf(dir))) return fn(m_tree);
    // Without a lock file the directory is read-only: nobody can write there,
    // so reading unlocked is safe.
    RegistryLock lock(false, pathsOf(dir).lock);
    if (!refresh(dir, current.x64)) return ERROR_REGISTRY_IO_FAILED;
    return fn(m_tree);
}

LSTATUS RegistryStore::write(const std::function<LSTATUS(RegTree&)>& fn) {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    const MachineConfig& current = machine();
    const std::string& dir = current.dir;
    if (!m_foldDir.empty() && m_foldDir != dir) foldLeftMachine();
    RegistryLock lock(true, pathsOf(dir).lock);
    if (!lock.held() || !refresh(dir, current.x64)) return ERROR_REGISTRY_IO_FAILED;
    m_tree.startRecording();
    LSTATUS status = fn(m_tree);
    RegChanges changes = m_tree.takeChanges();
    if (status != ERROR_SUCCESS) {
        if (!changes.text.empty() || changes.volatileChanged) m_dir.clear();  // undo by loading again
        return status;
    }
    if ((!changes.text.empty() && !appendToJournal(changes.text)) || (changes.volatileChanged && !saveVolatile())) {
        m_dir.clear();  // the tree no longer matches the files: reload next time
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (m_journalApplied >= kFoldFrom && m_journalApplied >= m_mainStamp.size / 2 && !foldLocked()) m_dir.clear();
    return status;
}

void RegistryStore::restart() {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    const std::string& dir = machine().dir;
    RegistryLock lock(true, pathsOf(dir).lock);
    ::unlink(pathsOf(dir).volatileKeys.c_str());
    m_dir.clear();
}

FILETIME RegistryStore::lastWriteTime() {
    const std::string& dir = machine().dir;
    FileStamp s = stampOf(pathsOf(dir).main);
    FileStamp j = stampOf(pathsOf(dir).journal);
    if (j.exists && j.mtimeNs > s.mtimeNs) s = j;
    // 100 ns intervals since 1601-01-01.
    unsigned long long ticks = s.mtimeNs / 100 + 116444736000000000ull;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

void registryRestart() { RegistryStore::instance().restart(); }

}  // namespace plxsim
