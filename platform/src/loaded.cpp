// Files that another program of the machine (the web browser) has loaded as
// images: machine.ini's [Programs] Loaded.
//
// What is loaded is the file, not its name: the first process that reads a
// path in the setting pins the file found there by its host identity in
// <machine>/loaded.pins, one line per path, "<device> <inode> <path>", or
// "- - <path>" when the path named no file.  Every process takes the pins from
// there, so the file stays loaded when it is renamed, a new file under the old
// name is not, and a file created later at a path that named none is not
// either.  A path taken out of the setting loses its pin; put back, it pins
// afresh.  The file is rewritten in place under an exclusive flock.
#include "internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace plxsim {
namespace {

struct Pin {
    std::u16string path;
    bool present = false;
    FileId file;

    bool operator==(const Pin& other) const {
        return path == other.path && present == other.present && file.device == other.file.device &&
               file.inode == other.file.inode;
    }
};

std::vector<Pin> parsePins(const std::string& text) {
    std::vector<Pin> pins;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string device, inode, path;
        if (!(fields >> device >> inode) || !std::getline(fields >> std::ws, path) || path.empty()) continue;
        Pin pin;
        pin.path = fromUtf8(path);
        pin.present = device != "-";
        if (pin.present) {
            pin.file.device = static_cast<dev_t>(std::strtoull(device.c_str(), nullptr, 10));
            pin.file.inode = static_cast<ino_t>(std::strtoull(inode.c_str(), nullptr, 10));
        }
        pins.push_back(pin);
    }
    return pins;
}

std::string pinsText(const std::vector<Pin>& pins) {
    std::string text;
    for (const Pin& pin : pins) {
        text += pin.present ? std::to_string(pin.file.device) + " " + std::to_string(pin.file.inode) : "- -";
        text += " " + toUtf8(pin.path) + "\n";
    }
    return text;
}

Pin pinNow(const std::u16string& path) {
    Pin pin;
    pin.path = path;
    std::string host;
    struct stat st;
    if (hostPath(path.c_str(), host, nullptr) && stat(host.c_str(), &st) == 0) {
        pin.present = true;
        pin.file = FileId{st.st_dev, st.st_ino};
    }
    return pin;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (off_t at = 0;;) {
        ssize_t n = pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        text.append(buffer, static_cast<size_t>(n));
        at += n;
    }
}

}  // namespace

void pinLoadedFiles(MachineConfig& config) {
    const std::string file = config.dir + "/loaded.pins";
    // A machine that never named a loaded file has nothing to read or drop.
    int flags = O_RDWR | O_CLOEXEC | (config.loadedPaths.empty() ? 0 : O_CREAT);
    int fd = open(file.c_str(), flags, 0644);
    if (fd < 0) {
        if (errno == ENOENT && config.loadedPaths.empty()) return;
        fatal("cannot open " + file + ": " + std::strerror(errno));
    }
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    std::vector<Pin> before = parsePins(readAll(fd)), after;
    for (const std::u16string& path : config.loadedPaths) {
        bool listed = false;
        for (const Pin& pin : after) listed = listed || equalNoCase(pin.path, path);
        if (listed) continue;
        const Pin* kept = nullptr;
        for (const Pin& pin : before)
            if (!kept && equalNoCase(pin.path, path)) kept = &pin;
        after.push_back(kept ? *kept : pinNow(path));
    }
    if (!(after == before)) {
        std::string text = pinsText(after);
        if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
            fatal("cannot write " + file + ": " + std::strerror(errno));
    }
    close(fd);  // releases the lock
    for (const Pin& pin : after)
        if (pin.present) config.loadedFiles.push_back(pin.file);
}

bool fileLoaded(const struct stat& st) {
    for (const FileId& file : machine().loadedFiles)
        if (file.device == st.st_dev && file.inode == st.st_ino) return true;
    return false;
}

}  // namespace plxsim
