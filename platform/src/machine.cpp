// The simulated machine: its directory (PLX_MACHINE), machine.ini, screen.log
// and what its user may write.  Its paths are mapped in paths.cpp.
//
// machine.ini (UTF-8, or UTF-16LE with BOM); absent keys take these defaults:
//   [Windows]  Version=6.1          major.minor as GetVersionExW reports it
//              Architecture=x64     or x86
//   [User]     Administrator=1      0: writes under C:\Program Files,
//                                   C:\Program Files (x86) and C:\Windows are refused
//   [Display]  Answers=             message box answers (ok, cancel, yes, no),
//                                   comma-separated, taken in order by each process
//   [Faults]   Function=n:error,... injected failures, Count=1 calls.log (faults.cpp)
//   [Programs] Loaded=C:\a.dll|...  files another program has loaded (loaded.cpp)
#include "internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace plxsim {

[[noreturn]] void fatal(const std::string& message) {
    std::fprintf(stderr, "simulated machine: %s\n", message.c_str());
    std::fflush(stderr);
    std::_Exit(3);
}

namespace {

std::mutex& machineLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::string trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = text.find_last_not_of(" \t\r\n");
    return text.substr(b, e - b + 1);
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// machine.ini as UTF-8 text, whatever its encoding on disk.
std::string readIniText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return toUtf8(plxtext::fromUtf16leBytes(std::string_view(bytes).substr(2)));
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return bytes;
}

// Reads machine.ini into config; the first setting that does not parse ends
// the reading, named in config.problem.
void parseIni(const std::string& file, MachineConfig& config) {
    std::istringstream lines(readIniText(file));
    std::string line, section, rawSection;
    auto problem = [&](const std::string& text) { config.problem = text; };
    while (config.problem.empty() && std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            rawSection = trim(line.substr(1, line.find(']') - 1));
            section = lower(rawSection);
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string rawKey = trim(line.substr(0, eq));
        std::string key = lower(rawKey);
        std::string value = trim(line.substr(eq + 1));
        std::string where = file + ": [" + rawSection + "] " + rawKey + "=" + value;
        if (section == "windows" && key == "version") {
            unsigned major = 0, minor = 0;
            char dot = 0;
            std::istringstream v(value);
            if (!(v >> major >> dot >> minor) || dot != '.') problem(where + " is not major.minor (e.g. 6.1)");
            config.versionMajor = major;
            config.versionMinor = minor;
        } else if (section == "windows" && key == "architecture") {
            std::string a = lower(value);
            if (a == "x64" || a == "amd64")
                config.x64 = true;
            else if (a == "x86")
                config.x64 = false;
            else
                problem(where + " is neither x64 nor x86");
        } else if (section == "user" && key == "administrator") {
            if (value == "1")
                config.administrator = true;
            else if (value == "0")
                config.administrator = false;
            else
                problem(where + " is neither 1 nor 0");
        } else if (section == "display" && key == "answers") {
            config.answers.clear();
            std::istringstream list(value);
            std::string answer;
            while (std::getline(list, answer, ',')) {
                answer = lower(trim(answer));
                if (answer.empty()) continue;
                if (answer != "ok" && answer != "cancel" && answer != "yes" && answer != "no") {
                    problem(where + ": answers are ok, cancel, yes or no");
                    break;
                }
                config.answers.push_back(answer);
            }
        } else if (section == "faults") {
            problem(parseFaultEntry(rawKey, value, where, config));
        } else if (section == "programs" && key == "loaded") {
            // '|' cannot occur in a Windows path.  The last Loaded line counts.
            config.loadedPaths.clear();
            std::istringstream list(value);
            for (std::string item; std::getline(list, item, '|');) {
                std::u16string path = fromUtf8(trim(item)), full;
                if (path.empty()) continue;
                bool absolute = path.size() >= 3 && (path[0] | 0x20) >= u'a' && (path[0] | 0x20) <= u'z' &&
                                path[1] == u':' && (path[2] == u'\\' || path[2] == u'/');
                if (!absolute || !fullWindowsPath(path.c_str(), full, nullptr)) {
                    problem(where + ": " + trim(item) + " is not a full Windows path (C:\\...)");
                    break;
                }
                config.loadedPaths.push_back(full);
            }
        }
    }
}

// The machine of the call that runs on this thread (pinMachine).
thread_local const MachineConfig* t_pinned = nullptr;

// machine.ini's identity, size and modification time: a change means a new reading.
struct IniStamp {
    bool present = false;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified {};

    bool operator==(const IniStamp& other) const {
        return present == other.present && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

struct CachedConfig {
    IniStamp stamp;
    const MachineConfig* config = nullptr;
};

// The machine's configuration; null, or a stop with a message when fatalIfNone,
// when PLX_MACHINE names no directory or its machine.ini does not parse.  Every
// Win32 call comes here, so it looks at the disk once when machine.ini is there.
const MachineConfig* findMachine(bool fatalIfNone) {
    const char* dirValue = std::getenv("PLX_MACHINE");
    if (!dirValue || !*dirValue) {
        if (!fatalIfNone) return nullptr;
        fatal(
            "PLX_MACHINE is not set. A program on the simulated Windows machine needs one: a directory whose "
            "drive_c/ is C:. Create one with e.g.\n  mkdir -p /tmp/m/drive_c && export PLX_MACHINE=/tmp/m");
    }
    std::string dir(dirValue);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const std::string given = dir;
    if (dir[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd)) dir = std::string(cwd) + "/" + dir;
    }

    const std::string ini = dir + "/machine.ini";
    IniStamp stamp;
    struct stat st;
    if (stat(ini.c_str(), &st) == 0) {
        stamp.present = true;
        stamp.inode = st.st_ino;
        stamp.size = st.st_size;
        stamp.modified = st.st_mtim;
    } else if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (!fatalIfNone) return nullptr;
        fatal("PLX_MACHINE=" + given + " is not a directory. Create one with e.g.\n  mkdir -p " + given + "/drive_c");
    }

    std::lock_guard<std::mutex> guard(machineLock());
    // Configurations are kept until exit: callers may hold a reference across a reload.
    static auto* cache = new std::map<std::string, CachedConfig>;
    static auto* kept = new std::deque<std::unique_ptr<MachineConfig>>;
    CachedConfig& entry = (*cache)[dir];
    if (!entry.config || !(entry.stamp == stamp)) {
        auto config = std::make_unique<MachineConfig>();
        config->dir = dir;
        if (stamp.present) parseIni(ini, *config);
        if (config->problem.empty()) {
            // The pins are taken on the machine being read: its paths, its drives.
            const MachineConfig* pinned = t_pinned;
            t_pinned = config.get();
            pinLoadedFiles(*config);
            t_pinned = pinned;
        }
        entry.config = config.get();
        entry.stamp = stamp;
        kept->push_back(std::move(config));
    }
    if (!entry.config->problem.empty()) {
        if (!fatalIfNone) return nullptr;
        fatal(entry.config->problem);
    }
    return entry.config;
}

}  // namespace

const MachineConfig& machine() { return t_pinned ? *t_pinned : *findMachine(true); }

const MachineConfig* currentMachine() { return t_pinned ? t_pinned : findMachine(false); }

void pinMachine(const MachineConfig* config) { t_pinned = config; }

bool nextAnswer(std::string& answer) {
    const MachineConfig& config = machine();
    std::lock_guard<std::mutex> guard(machineLock());
    static std::map<std::string, size_t>* used = new std::map<std::string, size_t>;
    size_t& next = (*used)[config.dir];
    if (next >= config.answers.size()) return false;
    answer = config.answers[next++];
    return true;
}

// ------------------------------------------------------------------ screen.log

void screenLog(const std::string& line) {
    std::string file = machine().dir + "/screen.log";
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) fatal("cannot append to " + file + ": " + std::strerror(errno));
    std::string text = line + "\n";
    // One write per line, so that lines of concurrent processes do not interleave.
    ssize_t written = write(fd, text.data(), text.size());
    close(fd);
    if (written != static_cast<ssize_t>(text.size())) fatal("cannot append to " + file);
}

// ------------------------------------------------------------------ the user's rights

bool fileWriteAllowed(const std::string& host) {
    const MachineConfig& config = machine();
    if (config.administrator) return true;
    std::u16string path = windowsPath(host);
    static const char16_t* const kProtected[] = {u"C:\\Program Files", u"C:\\Program Files (x86)", u"C:\\Windows"};
    for (const char16_t* root : kProtected) {
        std::u16string r(root);
        if (path.size() >= r.size() && equalNoCase(path.substr(0, r.size()), r) &&
            (path.size() == r.size() || path[r.size()] == u'\\'))
            return false;
    }
    return true;
}

}  // namespace plxsim
