// The machine's registry on disk, kept the way Windows keeps a hive and its
// log:
//   registry.reg           regedit text, the whole persistent registry as of
//                          the last fold; what a reader finds once no process
//                          of the machine runs
//   registry.journal       the changes made since, appended by each change
//                          as .reg text (a record ends with a ";end" line)
//                          and replayed over registry.reg on load; folded
//                          into registry.reg when it grows large, when a
//                          process leaves the machine and at exit
//   registry.volatile.reg  keys created volatile, dropped when the machine
//                          restarts (rewritten whole: it stays small)
//   registry.lock          flock: shared for reads, exclusive for changes
// Each process keeps the parsed tree and catches up when a file changed since
// it last read them: by reading the journal's new records when only those
// were added, by loading again otherwise.
#ifndef PLX_REGISTRY_STORE_H
#define PLX_REGISTRY_STORE_H

#include "reg_file.h"

#include <functional>
#include <mutex>
#include <string>

namespace plxsim {

class RegistryStore {
public:
    static RegistryStore& instance();

    // Runs fn on the current tree under the shared lock.
    LSTATUS read(const std::function<LSTATUS(RegTree&)>& fn);
    // Runs fn under the exclusive lock; when it succeeds, whatever it changed
    // is in the files (appended to the journal and flushed to disk) before
    // this returns.
    LSTATUS write(const std::function<LSTATUS(RegTree&)>& fn);
    // Drops every volatile key (the machine restarted).
    void restart();
    // Writes the journal's changes into registry.reg and removes the journal
    // (RegFlushKey); false when the files could not be written.
    bool flush();
    // The same for the machine whose journal this process last added to, if
    // it is no longer the current one or the process exits.
    void foldLeftMachine();
    // Time of the last change of the persistent registry.
    FILETIME lastWriteTime();

private:
    struct FileStamp {
        bool exists = false;
        unsigned long long device = 0, inode = 0, size = 0, mtimeNs = 0;
        bool operator==(const FileStamp& o) const {
            return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
                   mtimeNs == o.mtimeNs;
        }
    };
    static FileStamp stampOf(const std::string& path);
    // The files' paths in a machine directory, made once for the last one asked.
    struct FilePaths {
        std::string dir, main, journal, volatileKeys, lock;
    };
    const FilePaths& pathsOf(const std::string& dir);
    bool unchanged(const FilePaths& paths) const;  // the files are as m_tree was read from them

    // Catches up with the files; false on a read error.  x64: the machine's
    // architecture, which decides its base keys.
    bool refresh(const std::string& dir, bool x64);
    bool load(const std::string& dir, bool x64);
    bool applyJournal(const std::string& dir);  // the records after m_journalApplied
    void reportBadLines(const std::string& file, const RegParseResult& parsed);
    bool appendToJournal(const std::u16string& text);
    bool saveVolatile();
    bool foldLocked();  // under the exclusive lock, the tree current

    std::recursive_mutex m_mutex;
    std::string m_dir;  // machine whose registry m_tree holds; empty: nothing loaded
    bool m_x64 = false;
    FileStamp m_mainStamp, m_journalStamp, m_volatileStamp;
    unsigned long long m_journalApplied = 0;  // bytes of the journal in m_tree: whole records
    bool m_mainHadBadLines = false;           // registry.reg holds lines a fold would drop
    std::string m_volatileBytes;              // the volatile file as this process formats it
    std::string m_foldDir;                    // a machine whose journal this process added to
    RegTree m_tree;
    FilePaths m_paths;
};

}  // namespace plxsim

#endif
