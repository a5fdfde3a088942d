// The simulated machine as the computer of a scenario: see hotfix_host.h.
#include "hotfix_host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {
std::string readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The service pack of each release as HKLM\SYSTEM\...\Windows "CSDVersion" holds it.
unsigned servicePackOf(const std::string& version) {
    if (version == "5.0") return 0x400;
    if (version == "5.1") return 0x300;
    if (version == "5.2" || version == "6.0") return 0x200;
    if (version == "6.1") return 0x100;
    return 0;
}

void writeHostFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// machine.ini with its [Display] Answers replaced by list; the text before.
std::string setAnswers(const std::string& machineDir, const std::string& list) {
    const std::string ini = machineDir + "/machine.ini";
    std::istringstream in(readHostFile(ini));
    std::string text;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Answers=", 0) != 0) text += line + "\n";
    }
    text += "[Display]\nAnswers=" + list + "\n";
    writeHostFile(ini, text);
    return text;
}

// C:\a\b or \\server\share\b as the host path of a machine file; the directories exist.
std::string hostPathOf(const std::string& machineDir, const std::string& windowsPath) {
    const bool bShare = windowsPath.compare(0, 2, "\\\\") == 0;  // \\server\share\... lies in unc/
    std::string path = machineDir + (bShare ? "/unc" : "/drive_c");
    std::string rest = windowsPath.substr(bShare ? 2 : 3);
    for (char& c : rest)
        if (c == '\\') c = '/';
    return path + "/" + rest;
}
}  // namespace

struct HotfixHost::State {
    TestMachine* machine = nullptr;
    std::string faults;
};

HotfixHost::HotfixHost() : m_state(new State) {}
HotfixHost::~HotfixHost() = default;

void HotfixHost::setFaults(const std::string& lines) { m_state->faults = lines; }

const char* HotfixHost::installerName() { return "plxhotfix"; }

bool HotfixHost::canModel(const HotfixSettings&, std::string&) { return true; }

void HotfixHost::describe(const HotfixSettings& settings, TestMachine& machine) {
    machine.ini("Windows", "Version", settings.windowsVersion)
        .ini("Windows", "Architecture", settings.x64 ? "x64" : "x86");
    if (!settings.administrator) machine.ini("User", "Administrator", "0");
    char servicePack[16];
    std::snprintf(servicePack, sizeof servicePack, "%08x", servicePackOf(settings.windowsVersion));
    machine.reg(
        std::string("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Windows]\n\"CSDVersion\"=dword:") +
        servicePack + "\n");
    std::string loaded;
    for (const std::string& path : settings.loaded) loaded += (loaded.empty() ? "" : "|") + path;
    if (!loaded.empty()) machine.ini("Programs", "Loaded", loaded);
}

void HotfixHost::created(const HotfixSettings& settings, TestMachine& machine) {
    m_state->machine = &machine;
    m_state->faults = settings.faults;
}

namespace {
// Starts the installer as a process of its own on the machine; its output goes to outputFile.
pid_t startInstaller(const std::string& dir, const std::string& installer, const std::string& args,
                     const std::string& cwd, const std::string& outputFile) {
    // The download folder is created with the machine, in the case written here.
    const std::string program = hostPathOf(dir, installer);
    chmod(program.c_str(), 0755);
    std::vector<std::string> argv{program};
    std::istringstream words(args);
    for (std::string word; words >> word;) argv.push_back(word);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // No terminal: a box without an answer from machine.ini is not shown.
        int in = open("/dev/null", O_RDONLY);
        int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0 ||
            chdir(hostPathOf(dir, cwd).c_str()) != 0)
            _exit(127);
        setenv("PLX_MACHINE", dir.c_str(), 1);
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(&a[0]);
        raw.push_back(nullptr);
        execv(program.c_str(), raw.data());
        _exit(127);
    }
    return pid;
}

HotfixRun waitForInstaller(pid_t pid, const std::string& outputFile) {
    int status = 0;
    waitpid(pid, &status, 0);
    HotfixRun result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = readHostFile(outputFile);
    return result;
}
}  // namespace

HotfixRun HotfixHost::run(const std::string& installer, const std::string& args, const std::string& cwd,
                          const std::string& answers) {
    const std::string dir = m_state->machine->dir();
    const std::string ini = setAnswers(dir, answers);
    // The faults hold for the installer's process only, and calls.log tells of this run alone.
    std::remove((dir + "/calls.log").c_str());
    if (!m_state->faults.empty()) writeHostFile(dir + "/machine.ini", ini + "[Faults]\n" + m_state->faults + "\n");
    const std::string outputFile = dir + "/run-output.txt";
    HotfixRun result = waitForInstaller(startInstaller(dir, installer, args, cwd, outputFile), outputFile);
    if (!m_state->faults.empty()) writeHostFile(dir + "/machine.ini", ini);
    return result;
}

std::vector<HotfixRun> HotfixHost::runTogether(const std::string& installer, const std::string& args,
                                               const std::string& cwd, int count) {
    const std::string dir = m_state->machine->dir();
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i)
        pids.push_back(startInstaller(dir, installer, args, cwd, dir + "/run-output-" + std::to_string(i) + ".txt"));
    std::vector<HotfixRun> results;
    for (int i = 0; i < count; ++i)
        results.push_back(waitForInstaller(pids[i], dir + "/run-output-" + std::to_string(i) + ".txt"));
    return results;
}

std::string HotfixHost::screenLog() const { return m_state->machine ? m_state->machine->screenLog() : ""; }

std::string HotfixHost::callLog() const {
    return m_state->machine ? readHostFile(m_state->machine->dir() + "/calls.log") : "";
}
