// Simulated computers for end-to-end runs of the hotfix installer: the host
// product's registry keys and files, the package in the download folder, and
// the installer run as its own process.
#ifndef HOTFIX_MACHINE_H
#define HOTFIX_MACHINE_H

#include "plx_test_machine.h"
#include "plx_win32.h"

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

extern const char* const kDir32;    // C:\Program Files (x86)\Orvane\Vaultline Security Suite\ (x64 machines)
extern const char* const kDir64;    // C:\Program Files\Orvane\Vaultline Security Suite\ (x64 machines)
extern const char* const kDirX86;   // C:\Program Files\Orvane\Vaultline Security Suite\ (x86 machines)
extern const char* const kDownloads;  // C:\Users\Public\Downloads\ (where the package is)

struct HotfixRun {
    int exitCode = -1;
    std::string output;  // what the process wrote to stdout and stderr
};

// One computer.  Build it with the setters, then create() and run().
class HotfixMachine {
public:
    HotfixMachine& windows(const std::string& version, bool bX64);
    HotfixMachine& standardUser();
    // Message box answers in order: "ok", "yes", "no", ...
    HotfixMachine& answers(const std::string& list);
    // Replaces the answers of a created machine for the next runs (each
    // process takes the answers from the first).
    void answersNow(const std::string& list);
    HotfixMachine& reg(const std::string& regText);
    // The product's keys (current location) with this Version, in the
    // process's own registry view and, on x64, InstallPath in the 64-bit view;
    // and "VLSInstall"=1 under the common policy location.
    HotfixMachine& product(const std::string& version, bool bVLSInstall = true);
    // An installed add-on library "plxpwm_ie_com.dll" in dir from the stand-in
    // of this version (x86 or x64 build).
    HotfixMachine& installed(const std::string& dir, const std::string& version, bool bX64Build);
    HotfixMachine& file(const std::string& windowsPath, const std::string& bytes);
    // The package in the download folder; without its two libraries when asked.
    HotfixMachine& package(bool bWithLibraries = true);
    HotfixMachine& create();

    // Runs the installer from the download folder with args, the current
    // directory set to cwd (a Windows directory on the machine).
    HotfixRun run(const std::string& args = "", const std::string& cwd = "C:\\Users\\Public\\Downloads");

    bool x64() const { return m_bX64; }
    TestMachine& machine() { return m_machine; }
    std::string hostPath(const std::string& windowsPath) const;
    bool exists(const std::string& windowsPath) const;
    std::string readFile(const std::string& windowsPath) const;
    // The message boxes of screen.log, one "<text>|<buttons>|<answer>" each.
    std::vector<std::string> boxes() const;
    std::string screenLog() const { return m_machine.screenLog(); }

private:
    TestMachine m_machine;
    bool m_bX64 = true;
};

// Bytes of a stand-in library: version "" is the package's own build.
std::string standIn(const std::string& version, bool bX64Build);
std::string packageFile(const std::string& name);

// The patch log as it must be on disk: FF FE, then each line in UTF-16LE with CR LF.
std::string patchLogBytes(const std::vector<std::string>& lines, bool bWithBom = true);
std::string logLine(const char* szText, int iAnswer);
std::string box(const char* szText, const char* szButtons, const char* szAnswer);

// A registry value read through the simulated machine's Win32 API (32-bit
// view); false when missing.
bool readRegString(const std::string& keyPath, const std::string& valueName, std::string& text, REGSAM view);
bool readRegMultiString(const std::string& keyPath, const std::string& valueName, std::vector<std::string>& list,
                        REGSAM view);
bool regKeyExists(const std::string& keyPath, REGSAM view);

#endif
