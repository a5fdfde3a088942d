// Computers for end-to-end runs of the hotfix installer: the host product's
// registry keys and files, the package in the download folder, and the
// installer run as its own process, on a simulated machine or (the shipped
// 32-bit program) under Wine.  Everything is read back through Win32.
//
// After each run the computer's end state (the watched folders' files, byte
// for byte, and the product's registry keys in every view) is written to
// PLX_E2E_SNAPSHOTS/<test>.<run>.txt when that variable names a folder; when
// PLX_E2E_COMPARE names the folder of another platform's run of the same
// scenarios, the run must have ended in exactly the state kept there.
#ifndef HOTFIX_MACHINE_H
#define HOTFIX_MACHINE_H

#include "hotfix_host.h"
#include "plx_test_machine.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The installer's messages as the string table holds them.
extern const char* const kMsgOsMismatch;        // 1120
extern const char* const kMsgVersionMismatch;   // 1130
extern const char* const kMsgCaption;           // 1140
extern const char* const kMsgRestart;           // 1160
extern const char* const kMsgAlreadyInstalled;  // 1170
extern const char* const kMsgNotInstalled;      // 1180
extern const char* const kMsgFailure;           // 1200

extern const char* const kDir32;      // C:\Program Files (x86)\Orvane\Vaultline Security Suite\ (x64 machines)
extern const char* const kDir64;      // C:\Program Files\Orvane\Vaultline Security Suite\ (x64 machines)
extern const char* const kDirX86;     // C:\Program Files\Orvane\Vaultline Security Suite\ (x86 machines)
extern const char* const kDownloads;  // C:\Users\Public\Downloads\ (where the package is)

// One computer.  Build it with the setters, then create() and run().
class HotfixMachine {
public:
    HotfixMachine& windows(const std::string& version, bool bX64);
    HotfixMachine& standardUser();
    // machine.ini [Faults] lines for the installer's runs (simulated machine
    // only); such runs keep no end state, as no other platform repeats them.
    HotfixMachine& faults(const std::string& lines);
    // Message box answers in order: "ok", "yes", "no", ...; each run starts
    // again from the first.
    HotfixMachine& answers(const std::string& list);
    // Replaces the answers, or the [Faults] lines, for the next runs of a created machine.
    void answersNow(const std::string& list) { m_answers = list; }
    void faultsNow(const std::string& lines);
    HotfixMachine& reg(const std::string& regText);
    // The product's keys (current location) with this Version, in the
    // process's own registry view and, on x64, InstallPath in the 64-bit view;
    // and "VLSInstall"=1 under the common policy location.
    HotfixMachine& product(const std::string& version, bool bVLSInstall = true);
    // An installed add-on library "plxpwm_ie_com.dll" in dir from the stand-in
    // of this version (x86 or x64 build).
    HotfixMachine& installed(const std::string& dir, const std::string& version, bool bX64Build);
    HotfixMachine& file(const std::string& windowsPath, const std::string& bytes);
    // The package in the download folder, or the folder packageIn() named
    // before; without its two libraries when asked.
    HotfixMachine& package(bool bWithLibraries = true);
    HotfixMachine& packageIn(const std::string& folder);
    // The installed libraries are loaded by a running web browser.
    HotfixMachine& loadedByBrowser(bool bLoaded);
    HotfixMachine& create();
    // After create(): a hard link, or a symbolic link, at path to target.
    void link(const std::string& path, const std::string& target, bool bSymbolic);

    // Runs the installer from the download folder with args, the current
    // directory set to cwd (a Windows directory on the machine).
    HotfixRun run(const std::string& args = "", const std::string& cwd = "C:\\Users\\Public\\Downloads");
    // Runs of the installer started at the same moment, from the download folder.
    std::vector<HotfixRun> runTogether(int count, const std::string& args);

    bool x64() const { return m_settings.x64; }
    const HotfixSettings& settings() const { return m_settings; }
    bool exists(const std::string& windowsPath) const;
    std::string readFile(const std::string& windowsPath) const { return m_machine.readFile(windowsPath); }
    // The message boxes, one "<text>|<buttons>|<answer>" each.
    std::vector<std::string> boxes() const;
    // The restart, power-off and log-off requests, one "reboot", "poweroff" ... each.
    std::vector<std::string> restarts() const;
    std::string screenLog() const { return m_host.screenLog(); }
    std::string callLog() const { return m_host.callLog(); }

private:
    void keepEndState();

    TestMachine m_machine;
    HotfixHost m_host;
    HotfixSettings m_settings;
    std::string m_answers;
    std::string m_packageDir = kDownloads;
    std::vector<std::string> m_installed;
    bool m_loaded = false;
    int m_runs = 0;
};

// Scenarios on x64 and x86 computers.  A host that cannot make the computer
// (Wine runs each kind in a prefix of its own) skips them with the reason.
class HotfixX64 : public ::testing::Test {
protected:
    void SetUp() override;
};
class HotfixX86 : public ::testing::Test {
protected:
    void SetUp() override;
};

// Bytes of a stand-in library: version "" is the package's own build.
std::string standIn(const std::string& version, bool bX64Build);
std::string packageFile(const std::string& name);

// The patch log as it must be on disk: FF FE, then each line in UTF-16LE with CR LF.
std::string patchLogBytes(const std::vector<std::string>& lines, bool bWithBom = true);
std::string logLine(const char* szText, int iAnswer);
std::string box(const char* szText, const char* szButtons, const char* szAnswer);

// Registry values read through Win32 in a view; false when missing.
bool readRegString(const std::string& keyPath, const std::string& valueName, std::string& text, REGSAM view);
bool readRegMultiString(const std::string& keyPath, const std::string& valueName, std::vector<std::string>& list,
                        REGSAM view);
bool regKeyExists(const std::string& keyPath, REGSAM view);

#endif
