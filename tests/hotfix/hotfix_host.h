// Where a described computer is made and the installer runs on it.
//
// On the simulated machine (sim/hotfix_host.cpp) the computer is a machine
// directory: its Windows version, architecture and user in machine.ini, the
// message-box answers there too, what the user saw in screen.log, and the
// native installer run as a process of its own.  Only there can calls of the
// installer be made to fail and be counted (machine.ini's [Faults]).
//
// On Windows (windows/hotfix_host.cpp, run under Wine) the computer is the
// system itself: the shipped plxhotfix.exe runs as a child process, the test
// answers its message boxes, Wine's per-program Windows version stands in for
// the version, and everything the scenario changed is reset afterwards.
#ifndef HOTFIX_HOST_H
#define HOTFIX_HOST_H

#include "plx_test_machine.h"

#include <memory>
#include <string>
#include <vector>

struct HotfixSettings {
    std::string windowsVersion = "6.1";  // major.minor
    bool x64 = true;
    bool administrator = true;
    // [Faults] lines of machine.ini ("CopyFileW=2:112", "Count=1"), in force
    // for the installer's runs only: the test's own calls do not fail.
    std::string faults;
    // Files that a running program (the web browser) has loaded as images.
    std::vector<std::string> loaded;
};

struct HotfixRun {
    int exitCode = -1;
    std::string output;  // what the process wrote to stdout and stderr (simulated machine)
};

class HotfixHost {
public:
    HotfixHost();
    ~HotfixHost();
    HotfixHost(const HotfixHost&) = delete;
    HotfixHost& operator=(const HotfixHost&) = delete;

    // The installer's file name in the package.
    static const char* installerName();
    // Whether this host can make such a computer; why not in reason.
    static bool canModel(const HotfixSettings& settings, std::string& reason);

    // Adds what the settings need to the machine before it is created, and
    // applies the rest once it is.
    void describe(const HotfixSettings& settings, TestMachine& machine);
    void created(const HotfixSettings& settings, TestMachine& machine);
    // New [Faults] lines for the next runs (simulated machine only).
    void setFaults(const std::string& lines);

    // Runs the installer (a Windows path) with args in cwd, answering its
    // message boxes with answers ("ok,no,...") in order.
    HotfixRun run(const std::string& installer, const std::string& args, const std::string& cwd,
                  const std::string& answers);
    // Starts count silent runs at the same moment and waits for all of them.
    std::vector<HotfixRun> runTogether(const std::string& installer, const std::string& args, const std::string& cwd,
                                       int count);

    // What a person would have seen, one line each: "MessageBox caption=...
    // text=... buttons=... answer=..." and "ExitWindowsEx ... reboot".
    std::string screenLog() const;
    // The calls of the last run as calls.log lists them ([Faults] Count=1); "" elsewhere.
    std::string callLog() const;

private:
    struct State;  // the computer and what resets it
    std::unique_ptr<State> m_state;
};

// Folders of the computer that a scenario may change: the product's
// installation folders, the download folder and the documents folder.
const std::vector<std::string>& hotfixWatchedFolders();

#endif
