// The machine's registry on disk: registry.reg (regedit text, the whole
// persistent registry), registry.volatile.reg (keys created volatile, dropped
// when the machine restarts) and registry.lock (flock: shared for reads,
// exclusive for read-modify-write).  Each process keeps the parsed tree and
// reloads it when either file changed since it last read them.
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
    // is in the files (replaced atomically) before this returns.
    LSTATUS write(const std::function<LSTATUS(RegTree&)>& fn);
    // Drops every volatile key (the machine restarted).
    void restart();
    // Time of the last change of the persistent registry file.
    FILETIME lastWriteTime();

private:
    struct FileStamp {
        bool exists = false;
        unsigned long long device = 0, inode = 0, size = 0, mtimeNs = 0;
        bool operator==(const FileStamp& o) const {
            return exists == o.exists && device == o.device && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs;
        }
    };
    static FileStamp stampOf(const std::string& path);

    bool refresh(const std::string& dir);  // reload when stale; false on a read error
    bool save(const std::string& dir);     // write the parts whose text changed

    std::recursive_mutex m_mutex;
    std::string m_dir;  // machine whose registry m_tree holds; empty: nothing loaded
    bool m_x64 = false;
    FileStamp m_mainStamp, m_volatileStamp;
    std::string m_mainBytes, m_volatileBytes;  // the files' content as this process formats it
    RegTree m_tree;
};

}  // namespace plxsim

#endif
