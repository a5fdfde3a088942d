// Helpers of the simulated machine's unit tests: host-side file access and
// child processes (for process-wide state such as the environment or stdin).
#ifndef PLX_SIM_UNIT_H
#define PLX_SIM_UNIT_H

#include "plx_win32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <fstream>
#include <iterator>
#include <string>

namespace simunit {

inline bool hostExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

inline std::string hostRead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void hostWrite(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

struct ChildResult {
    int exitCode = -1;  // -1 when a signal ended the child
    int signal = 0;     // the signal that ended it
    std::string err;    // what the child wrote to stderr
};

// Runs body in a forked child with stdin from /dev/null; its result is the exit code.
inline ChildResult runChild(const std::function<int()>& body) {
    int pipeFds[2];
    ChildResult result;
    if (pipe(pipeFds) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], STDERR_FILENO);
        int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        _exit(body());
    }
    close(pipeFds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) result.err.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

}  // namespace simunit

#endif
