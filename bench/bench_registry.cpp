// How the simulated machine's registry scales with the size of registry.reg.
//
// Each row is a fresh machine whose registry.reg is a generated regedit
// export (UTF-16LE with BOM, CRLF, hex lists wrapped as regedit wraps them)
// below HKEY_LOCAL_MACHINE\SOFTWARE\PLXBench: 100, 10,000 and 1,000,000
// values, 10 a key, in keys three levels deep (Vendor\Product\Component), and
// 100,000 values in one key.  A key's ten values are what an installed
// product leaves: REG_SZ paths and names, dwords, 32 bytes of REG_BINARY, a
// REG_EXPAND_SZ (hex(2)) and a REG_MULTI_SZ (hex(7)).
//
// The measuring is done by a child process (this program run again), so that
// its first registry call is the first of a process and its exit can be
// timed from outside:
//   load        the first registry call (RegOpenKeyExW of the key that is
//               changed), which reads and parses registry.reg
//   one change  one RegSetValueExW of a new value
//   100 changes 100 RegSetValueExW of new values, and their mean
//   no-op       RegSetValueExW of a value to the type and data it already has
//   exit        from the end of the child's last call to its exit as the
//               parent sees it (steady_clock is CLOCK_MONOTONIC, one clock for
//               every process of the computer)
//   check       a fresh process, started while the child waits after its one
//               change, must see that change; another, started after the
//               child's exit, must see all 101 new values, the untouched
//               value and the last value of the tree.  "ok", "LATE" (the one
//               change was not in the files before the child exited) or
//               "MISSING" (something was lost after the exit).  This checks the
//               benchmark, not the speed.
// A row whose load takes over 60 s, or whose one change takes over 5 s, stops
// there ("(too slow: skipped)"); a step that takes over 10 minutes is killed.
//
//   bench_registry [MAX_VALUES]      only the rows of at most MAX_VALUES values
//
// Figures only: nothing here passes or fails.
#include <cstdio>

#ifdef _WIN32

int main() {
    std::printf("bench_registry measures the simulated machine's registry; it does not run on Windows\n");
    return 0;
}

#else

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "plx_scoped_handle.h"
#include "plx_test_machine.h"
#include "plx_test_text.h"
#include "plx_win32.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kValuesPerKey = 10;
constexpr int kNewValues = 101;  // the one change and the 100
constexpr double kLoadGuardSeconds = 60;
constexpr double kChangeGuardSeconds = 5;
constexpr double kStepLimitSeconds = 600;

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

std::string format(const char* fmt, long a) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, fmt, a);
    return buffer;
}

// ------------------------------------------------------------------ the generated registry

struct Row {
    const char* label;
    long values;
    bool oneKey;  // all values in one key rather than 10 a key

    long keys() const { return oneKey ? 1 : values / kValuesPerKey; }
    // Below HKEY_LOCAL_MACHINE.
    std::string keyPath(long k) const {
        if (oneKey) return "SOFTWARE\\PLXBench\\Flat";
        return "SOFTWARE\\PLXBench\\Vendor" + format("%03ld", k / 1000) + "\\Product" + format("%ld", k / 100 % 10) +
               "\\Component" + format("%03ld", k % 100);
    }
    // The key that the changes go to: one in the middle of the tree.
    long changedKey() const { return oneKey ? 0 : keys() / 2; }
    // Value i of a key (0 <= i < 10, or < values in the one key).
    std::string valueName(long i) const {
        static const char* const kNames[kValuesPerKey] = {"InstallPath", "DisplayName", "Version",  "Enabled",
                                                          "Flags",       "InstallDate", "Checksum", "LogFile",
                                                          "Components",  "Language"};
        std::string name = kNames[i % kValuesPerKey];
        return oneKey ? name + format("_%06ld", i) : name;
    }
    // The REG_SZ data of InstallPath (value i of key k).
    std::string installPath(long k, long i) const {
        if (oneKey) return "C:\\Program Files\\PLXBench\\Flat\\item" + format("%06ld", i) + "\\";
        return "C:\\Program Files\\PLXBench\\" + keyPath(k).substr(std::strlen("SOFTWARE\\PLXBench\\")) + "\\";
    }
    // The value that the no-op change sets again (an InstallPath).
    long unchangedValue() const { return oneKey ? values / 2 / kValuesPerKey * kValuesPerKey : 0; }
};

const Row kRows[] = {
    {"100 (10 a key)", 100, false},
    {"10,000 (10 a key)", 10000, false},
    {"100,000 (one key)", 100000, true},
    {"1,000,000 (10 a key)", 1000000, false},
};

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// "name"=hex(type):.. with regedit's wrapping: lines of at most 80 characters,
// continued with "\" and two spaces.
void appendHex(std::string& out, const std::string& name, const char* kind, const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    size_t lineStart = out.size();
    out += quoted(name) + "=" + kind + ":";
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
        if (i + 1 == bytes.size()) break;
        out += ',';
        if (out.size() - lineStart > 76) {
            out += "\\\r\n  ";
            lineStart = out.size() - 2;
        }
    }
    out += "\r\n";
}

std::vector<uint8_t> utf16Bytes(const std::vector<std::string>& strings, bool multi) {
    std::vector<uint8_t> bytes;
    for (const std::string& s : strings) {
        for (char c : s) {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(0);
        }
        bytes.push_back(0);
        bytes.push_back(0);
    }
    if (multi) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

void appendValue(std::string& out, const Row& row, long k, long i) {
    const std::string name = row.valueName(i);
    const long seed = row.oneKey ? i : k;
    const std::string item = row.oneKey ? "item" + format("%06ld", i) : "Component" + format("%03ld", k % 100);
    char line[64];
    switch (i % kValuesPerKey) {
    case 0: out += quoted(name) + "=" + quoted(row.installPath(k, i)) + "\r\n"; break;
    case 1: out += quoted(name) + "=" + quoted("PLX Bench " + item) + "\r\n"; break;
    case 2: out += quoted(name) + "=" + quoted("8.30.20." + format("%ld", seed % 1000)) + "\r\n"; break;
    case 3: out += quoted(name) + "=dword:00000001\r\n"; break;
    case 4:
        std::snprintf(line, sizeof line, "=dword:%08lx\r\n", static_cast<unsigned long>(seed * 7) & 0xffffffffUL);
        out += quoted(name) + line;
        break;
    case 5:
        std::snprintf(line, sizeof line, "=dword:%08lx\r\n",
                      (0x5f3e0000UL + static_cast<unsigned long>(seed)) & 0xffffffffUL);
        out += quoted(name) + line;
        break;
    case 6: {
        std::vector<uint8_t> bytes(32);
        for (size_t b = 0; b < bytes.size(); ++b)
            bytes[b] = static_cast<uint8_t>(seed * 31 + static_cast<long>(b) * 17);
        appendHex(out, name, "hex", bytes);
        break;
    }
    case 7: appendHex(out, name, "hex(2)", utf16Bytes({"%ProgramData%\\PLXBench\\" + item + ".log"}, false)); break;
    case 8: appendHex(out, name, "hex(7)", utf16Bytes({"core", "ui", "net"}, true)); break;
    default: out += quoted(name) + "=dword:00000409\r\n"; break;
    }
}

// Writes registry.reg as regedit exports it: every key once, a parent before
// its sub keys, a blank line after each.
bool writeRegistry(const std::string& file, const Row& row) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    std::string bytes = "\xFF\xFE";
    auto flush = [&](bool always) {
        if (!always && text.size() < (1u << 20)) return;
        bytes.reserve(bytes.size() + text.size() * 2);
        for (char c : text) {
            bytes += c;
            bytes += '\0';
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        text.clear();
        bytes.clear();
    };
    std::string previous;  // the last key written
    for (long k = 0; k < row.keys(); ++k) {
        const std::string path = row.keyPath(k);
        // The keys above it that were not written yet.
        for (size_t slash = path.find('\\', std::strlen("SOFTWARE\\")); slash != std::string::npos;
             slash = path.find('\\', slash + 1)) {
            std::string parent = path.substr(0, slash);
            if (previous.compare(0, parent.size(), parent) == 0 &&
                (previous.size() == parent.size() || previous[parent.size()] == '\\'))
                continue;
            text += "[HKEY_LOCAL_MACHINE\\" + parent + "]\r\n\r\n";
        }
        text += "[HKEY_LOCAL_MACHINE\\" + path + "]\r\n";
        for (long i = 0; i < (row.oneKey ? row.values : kValuesPerKey); ++i) {
            appendValue(text, row, k, i);
            flush(false);
        }
        text += "\r\n";
        previous = path;
    }
    flush(true);
    out.close();
    return static_cast<bool>(out);
}

// ------------------------------------------------------------------ the child processes

std::string changeName(int n) { return "PLXBenchChange" + format("%03ld", n); }
PlxWString changeData(int n) {
    PlxWString data = plxW("C:\\ProgramData\\PLXBench\\change" + format("%03ld", n) + ".log");
    data += WCHAR(0);
    return data;
}

void report(const std::string& line) {
    std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(1, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// The parent's word to go on ('g') or to stop.
bool goOn() {
    char c = 0;
    ssize_t n;
    do {
        n = ::read(0, &c, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 && c == 'g';
}

LSTATUS setChange(HKEY key, int n) {
    const PlxWString name = plxW(changeName(n)), data = changeData(n);
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size() * sizeof(WCHAR)));
}

// Reports a failed call to the parent; the measuring ends there.
int failed(const char* call, LSTATUS status) {
    report(std::string("error ") + call + " " + format("%ld", static_cast<long>(status)));
    return 1;
}

// --measure KEY UNCHANGED: the timed registry calls, each figure a line on stdout.
int measure(const std::string& keyPath, const std::string& unchanged) {
    const PlxWString path = plxW(keyPath);
    CPLXScopedRegKey key;
    long long start = nowNs();
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, key.out());
    long long end = nowNs();
    if (status != ERROR_SUCCESS) return failed("RegOpenKeyExW", status);
    report("load " + std::to_string(end - start));
    if (!goOn()) return 0;

    start = nowNs();
    status = setChange(key.get(), 0);
    end = nowNs();
    if (status != ERROR_SUCCESS) return failed("RegSetValueExW", status);
    report("one " + std::to_string(end - start));
    if (!goOn()) return 0;

    start = nowNs();
    for (int n = 1; n < kNewValues; ++n) {
        status = setChange(key.get(), n);
        if (status != ERROR_SUCCESS) return failed("RegSetValueExW", status);
    }
    end = nowNs();
    report("hundred " + std::to_string(end - start));

    const PlxWString name = plxW(unchanged);
    BYTE data[4096];
    DWORD type = 0, size = sizeof data;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS) {
        report("error RegQueryValueExW of " + unchanged);
        return 1;
    }
    start = nowNs();
    status = RegSetValueExW(key.get(), name.c_str(), 0, type, data, size);
    end = nowNs();
    if (status != ERROR_SUCCESS) {
        report("error RegSetValueExW of " + unchanged);
        return 1;
    }
    report("same " + std::to_string(end - start));
    key.reset();  // the close is the child's last call
    report("last " + std::to_string(nowNs()));
    return 0;
}

bool hasValue(HKEY key, const std::string& name, DWORD type, const PlxWString& data) {
    std::vector<BYTE> buffer(4096);
    DWORD gotType = 0, size = static_cast<DWORD>(buffer.size());
    if (RegQueryValueExW(key, plxW(name).c_str(), nullptr, &gotType, buffer.data(), &size) != ERROR_SUCCESS)
        return false;
    if (type == REG_NONE) return true;  // only that it is there
    return gotType == type && size == data.size() * sizeof(WCHAR) && std::memcmp(buffer.data(), data.data(), size) == 0;
}

// --verify KEY CHANGES COUNT UNCHANGED UNCHANGED_DATA LAST_KEY LAST_VALUE:
// prints "ok" or "MISSING <what>".  COUNT 0 skips the count of KEY's values.
int verify(char** arg) {
    const std::string keyPath = arg[0], unchanged = arg[3], unchangedData = arg[4], lastKey = arg[5],
                      lastValue = arg[6];
    const int changes = std::atoi(arg[1]);
    const long count = std::atol(arg[2]);
    CPLXScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, plxW(keyPath).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.out()) !=
        ERROR_SUCCESS) {
        report("MISSING the changed key");
        return 1;
    }
    std::string missing;
    for (int n = 0; n < changes && missing.empty(); ++n)
        if (!hasValue(key.get(), changeName(n), REG_SZ, changeData(n))) missing = changeName(n);
    if (missing.empty() && !hasValue(key.get(), unchanged, REG_SZ, plxW(unchangedData) + WCHAR(0))) missing = unchanged;
    DWORD values = 0;
    if (missing.empty() && count > 0 &&
        (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr) != ERROR_SUCCESS ||
         static_cast<long>(values) != count))
        missing = "values of the changed key: " + std::to_string(values) + " of " + std::to_string(count);
    if (missing.empty()) {
        CPLXScopedRegKey last;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, plxW(lastKey).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, last.out()) !=
                ERROR_SUCCESS ||
            !hasValue(last.get(), lastValue, REG_NONE, PlxWString()))
            missing = lastKey + "\\" + lastValue;
    }
    report(missing.empty() ? "ok" : "MISSING " + missing);
    return missing.empty() ? 0 : 1;
}

// ------------------------------------------------------------------ the parent

std::string selfPath() {
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    path[n] = '\0';
    return path;
}

// A run of this program with args; its stdin and stdout are pipes to us.
class Child {
public:
    explicit Child(const std::vector<std::string>& args) {
        int out[2], in[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        if (::pipe2(in, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        std::vector<std::string> all = {selfPath()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        m_out = out[0];
        m_in = in[1];
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);  // only when it was not waited for
            waitExit();
        }
        if (m_out >= 0) ::close(m_out);
        closeInput();
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return m_pid > 0; }

    // The child's next line; false at its end or when timeoutSeconds passed
    // (timedOut tells which).
    bool line(std::string& text, double timeoutSeconds) {
        const long long deadline = nowNs() + static_cast<long long>(timeoutSeconds * 1e9);
        m_timedOut = false;
        for (;;) {
            size_t newline = m_buffer.find('\n');
            if (newline != std::string::npos) {
                text = m_buffer.substr(0, newline);
                m_buffer.erase(0, newline + 1);
                return true;
            }
            if (m_eof) return false;
            long long left = (deadline - nowNs()) / 1000000;
            if (left <= 0) {
                m_timedOut = true;
                return false;
            }
            pollfd p{m_out, POLLIN, 0};
            int rc = ::poll(&p, 1, static_cast<int>(left > 1000000 ? 1000000 : left));
            if (rc < 0 && errno == EINTR) continue;
            if (rc <= 0) continue;
            char chunk[4096];
            ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                m_eof = true;
            else
                m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }
    bool timedOut() const { return m_timedOut; }

    void send(char c) {
        if (m_in >= 0 && ::write(m_in, &c, 1) != 1) closeInput();
    }
    void closeInput() {
        if (m_in >= 0) ::close(m_in);
        m_in = -1;
    }

    // Waits for the end of its output and then for its exit; false on timeout.
    bool finish(double timeoutSeconds) {
        std::string ignored;
        while (line(ignored, timeoutSeconds)) {
        }
        if (m_timedOut) return false;
        waitExit();
        return true;
    }

private:
    void waitExit() {
        if (m_pid <= 0) return;
        int status;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }

    pid_t m_pid = -1;
    int m_out = -1, m_in = -1;
    std::string m_buffer;
    bool m_eof = false, m_timedOut = false;
};

// "name figure" lines of the measuring child.
bool figure(Child& child, const char* name, double& value, std::string& problem) {
    std::string text;
    if (!child.line(text, kStepLimitSeconds)) {
        problem = child.timedOut() ? std::string(name) + " > 600 s (killed)" : "the child ended early";
        return false;
    }
    const std::string prefix = std::string(name) + " ";
    if (text.compare(0, prefix.size(), prefix) != 0) {
        problem = text;
        return false;
    }
    value = std::atof(text.c_str() + prefix.size());
    return true;
}

// Runs a verifier; "ok", "MISSING ..." or "(no answer)".
std::string check(const Row& row, int changes, long count, double timeoutSeconds) {
    const long k = row.changedKey(), u = row.unchangedValue();
    const long lastKey = row.keys() - 1, lastValue = row.oneKey ? row.values - 1 : kValuesPerKey - 1;
    Child verifier({"--verify", row.keyPath(k), std::to_string(changes), std::to_string(count), row.valueName(u),
                    row.installPath(k, u), row.keyPath(lastKey), row.valueName(lastValue)});
    std::string answer;
    if (!verifier.started() || !verifier.line(answer, timeoutSeconds)) return "(no answer)";
    verifier.finish(timeoutSeconds);
    return answer;
}

void printHeader() {
    std::printf("%-21s %8s %10s %11s %12s %9s %10s %9s  %s\n", "values", "size", "load", "one change", "100 changes",
                "mean", "no-op", "exit", "check");
    std::printf("%-21s %8s %10s %11s %12s %9s %10s %9s\n", "", "(MB)", "(ms)", "(us)", "(ms)", "(us)", "(us)", "(ms)");
}

void runRow(const Row& row) {
    std::printf("%-21s", row.label);
    std::fflush(stdout);
    const std::string dir = plxCreateMachineDir();
    const std::string file = dir + "/registry.reg";
    struct stat st;
    if (!writeRegistry(file, row) || ::stat(file.c_str(), &st) != 0) {
        std::printf(" cannot write %s\n", file.c_str());
        plxRemoveMachineDir(dir);
        return;
    }
    std::printf(" %8.2f", static_cast<double>(st.st_size) / 1e6);
    std::fflush(stdout);

    ::setenv("PLX_MACHINE", dir.c_str(), 1);
    const long k = row.changedKey();
    std::string late, problem, result;
    double load = 0, one = 0, hundred = 0, same = 0, last = 0;
    {
        Child child({"--measure", row.keyPath(k), row.valueName(row.unchangedValue())});
        if (!child.started())
            problem = "cannot start " + selfPath();
        else if (figure(child, "load", load, problem)) {
            std::printf(" %10.1f", load / 1e6);
            std::fflush(stdout);
            if (load / 1e9 > kLoadGuardSeconds) {
                child.send('q');
                result = "(too slow: skipped)";
            } else {
                child.send('g');
                if (figure(child, "one", one, problem)) {
                    std::printf(" %11.0f", one / 1e3);
                    std::fflush(stdout);
                    if (one / 1e9 > kChangeGuardSeconds) {
                        child.send('q');
                        result = "(too slow: skipped)";
                    } else {
                        // While the child waits: is its change in the files?
                        const std::string seen = check(row, 1, 0, 3 * load / 1e9 + 60);
                        if (seen != "ok") late = "LATE (" + seen + ")";
                        child.send('g');
                        if (figure(child, "hundred", hundred, problem) && figure(child, "same", same, problem) &&
                            figure(child, "last", last, problem)) {
                            if (!child.finish(kStepLimitSeconds)) {
                                problem = "exit > 600 s (killed)";
                            } else {
                                const double exited = static_cast<double>(nowNs()) - last;
                                std::printf(" %12.1f %9.0f %10.1f %9.2f", hundred / 1e6,
                                            hundred / 1e3 / (kNewValues - 1), same / 1e3, exited / 1e6);
                                std::fflush(stdout);
                                const long values = (row.oneKey ? row.values : kValuesPerKey) + kNewValues;
                                result = check(row, kNewValues, values, 3 * load / 1e9 + 60);
                                if (!late.empty()) result = result == "ok" ? late : result + ", " + late;
                            }
                        }
                    }
                }
            }
            child.closeInput();
            if (problem.empty()) child.finish(kStepLimitSeconds);
        }
    }
    if (!problem.empty()) result = "(" + problem + ")";
    std::printf("  %s\n", result.c_str());
    std::fflush(stdout);
    ::unsetenv("PLX_MACHINE");
    if (std::getenv("PLX_KEEP_MACHINE"))
        std::printf("%21s (machine kept in %s)\n", "", dir.c_str());
    else
        plxRemoveMachineDir(dir);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--measure") == 0) return measure(argv[2], argv[3]);
    if (argc >= 9 && std::strcmp(argv[1], "--verify") == 0) return verify(argv + 2);
    long maxValues = 1000000;
    if (argc > 1) {
        char* end = nullptr;
        maxValues = std::strtol(argv[1], &end, 10);
        if (argc > 2 || !end || *end || maxValues < 1) {
            std::fprintf(stderr, "usage: bench_registry [MAX_VALUES]\n");
            return 2;
        }
    }
#ifndef __OPTIMIZE__
    std::printf("(built without optimisation: configure with -DCMAKE_BUILD_TYPE=Release for figures worth reading)\n");
#endif
    std::printf(
        "Each row: a fresh machine whose registry.reg (UTF-16LE regedit export) holds that many values below\n"
        "HKLM\\SOFTWARE\\PLXBench. load = the process's first registry call; one change / 100 changes (and\n"
        "their mean) = RegSetValueExW of new values; no-op = setting a value to the data it has; exit = from\n"
        "the last call to the end of the process; check = a fresh process saw the changes (ok, LATE: not\n"
        "before the exit, MISSING: not after it).\n\n");
    printHeader();
    for (const Row& row : kRows)
        if (row.values <= maxValues) runRow(row);
    return 0;
}

#endif
