// Windows itself, under Wine, as the computer of a scenario: see hotfix_host.h.
#include "hotfix_host.h"

#include "plx_scoped_handle.h"
#include "plx_screen_log.h"
#include "plx_test_text.h"
#include "plx_win32.h"

#include <tlhelp32.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace {
typedef PlxWString WText;

const WCHAR kAppDefaults[] = L"Software\\Wine\\AppDefaults\\plxhotfix.exe";
const WCHAR kWindowsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Windows";
const WCHAR kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const WCHAR kRunOnceValue[] = L"plxhotfix-restart";
// Written by a command that Wine runs only when it restarts Windows.
const char kRestartMarker[] = "C:\\plxhotfix-restarted.txt";

// Wine's names of the Windows versions, and the service pack each comes with.
struct WineVersion {
    const char* version;
    const WCHAR* name;
    DWORD servicePack;  // as "CSDVersion" holds it
};
const WineVersion kWineVersions[] = {{"5.0", L"win2k", 0x400}, {"5.1", L"winxp", 0x300}, {"5.2", L"win2003", 0x200},
                                     {"6.0", L"vista", 0x200}, {"6.1", L"win7", 0x100},  {"6.2", L"win8", 0},
                                     {"6.3", L"win81", 0},     {"10.0", L"win10", 0}};

const WineVersion* wineVersionOf(const std::string& version) {
    for (const WineVersion& v : kWineVersions)
        if (version == v.version) return &v;
    return nullptr;
}

bool exists(const std::string& path) { return GetFileAttributesW(plxW(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

void removeTree(const WText& path) {
    WIN32_FIND_DATAW data;
    CPLXScopedFindHandle search(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (search.isValid()) {
        do {
            WText name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path + L"\\" + name);
            else
                DeleteFileW((path + L"\\" + name).c_str());
        } while (FindNextFileW(search.get(), &data));
        search.reset();  // a directory being searched cannot be removed
    }
    if (!RemoveDirectoryW(path.c_str())) DeleteFileW(path.c_str());
}

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    CPLXScopedFindHandle search(FindFirstFileW(plxW(folder + "\\*").c_str(), &data));
    if (!search.isValid()) return names;
    do {
        std::string name = plxNarrow(data.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search.get(), &data));
    return names;
}

// The product's registry trees in both views: what scenarios create.
void removeProductKeys() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        CPLXScopedRegKey software;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | view, software.out()) != ERROR_SUCCESS)
            continue;
        RegDeleteTreeW(software.get(), L"Orvane");
        RegDeleteTreeW(software.get(), L"Meridal Stillharbour");
    }
}

bool setString(HKEY root, const WCHAR* path, const WCHAR* name, const WText& text, REGSAM view) {
    CPLXScopedRegKey key;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.out(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
}

void deleteValue(HKEY root, const WCHAR* path, const WCHAR* name, REGSAM view) {
    CPLXScopedRegKey key;
    if (RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS | view, key.out()) == ERROR_SUCCESS)
        RegDeleteValueW(key.get(), name);
}

bool readDword(HKEY root, const WCHAR* path, const WCHAR* name, DWORD& value) {
    DWORD size = sizeof value, type = 0;
    CPLXScopedRegKey key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return false;
    LSTATUS status = RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    return status == ERROR_SUCCESS && type == REG_DWORD;
}

void writeDword(HKEY root, const WCHAR* path, const WCHAR* name, DWORD value) {
    CPLXScopedRegKey key;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(), nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot set " + plxNarrow(path) + "\\" + plxNarrow(name));
    RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool wineBootRunning() {
    CPLXScopedKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.isValid()) return false;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more && !found;
         more = Process32NextW(snapshot.get(), &entry))
        found = lstrcmpiW(entry.szExeFile, L"wineboot.exe") == 0;
    return found;
}

// Answers the message boxes of one process, in order, as a person would.
class BoxAnswerer {
public:
    BoxAnswerer(DWORD processId, const std::string& answers) : m_processId(processId) {
        std::istringstream list(answers);
        for (std::string answer; std::getline(list, answer, ',');) {
            answer.erase(std::remove(answer.begin(), answer.end(), ' '), answer.end());
            if (!answer.empty()) m_answers.push_back(answer);
        }
    }

    // Answers every box of the process that is waiting; false when one is
    // left without an answer.
    bool answerWaitingBoxes(std::string& screenLog) {
        m_log = &screenLog;
        m_stuck = false;
        EnumWindows(&BoxAnswerer::each, reinterpret_cast<LPARAM>(this));
        return !m_stuck;
    }

private:
    static BOOL CALLBACK each(HWND window, LPARAM self) {
        reinterpret_cast<BoxAnswerer*>(self)->answer(window);
        return TRUE;
    }

    void answer(HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        WCHAR windowClass[16] = {};
        GetClassNameW(window, windowClass, 16);
        if (owner != m_processId || lstrcmpW(windowClass, L"#32770") != 0 || !IsWindowVisible(window) ||
            m_answered.count(window))
            return;
        WCHAR caption[512] = {}, text[2048] = {};
        GetWindowTextW(window, caption, 512);
        GetDlgItemTextW(window, 0xFFFF, text, 2048);  // the message text of a message box
        bool yes = GetDlgItem(window, IDYES), no = GetDlgItem(window, IDNO), cancel = GetDlgItem(window, IDCANCEL);
        // The box's icon is not read back: its line has none.
        plxtext::ScreenLogBox box;
        box.caption = plxNarrow(caption);
        box.text = plxNarrow(text);
        box.buttons = yes && no ? (cancel ? "YESNOCANCEL" : "YESNO") : (cancel ? "OKCANCEL" : "OK");
        if (m_next >= m_answers.size()) {
            box.answer = "<no answer left>";
            *m_log += plxtext::screenLogLine(box) + "\n";
            m_stuck = true;
            return;
        }
        const std::string& answer = m_answers[m_next++];
        int id = answer == "yes" ? IDYES : answer == "no" ? IDNO : answer == "cancel" ? IDCANCEL : IDOK;
        box.answer = id == IDYES ? "IDYES" : id == IDNO ? "IDNO" : id == IDCANCEL ? "IDCANCEL" : "IDOK";
        *m_log += plxtext::screenLogLine(box) + "\n";
        m_answered.insert(window);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    }

    DWORD m_processId;
    std::vector<std::string> m_answers;
    size_t m_next = 0;
    std::set<HWND> m_answered;
    std::string* m_log = nullptr;
    bool m_stuck = false;
};
// The installer started in cwd with args; its process (the thread's handle is
// not kept) and, where asked, its id.
CPLXScopedKernelHandle startInstaller(const std::string& installer, const std::string& args, const std::string& cwd,
                                      DWORD* processId = nullptr) {
    WText commandLine = L"\"" + plxW(installer) + L"\"" + (args.empty() ? WText() : L" " + plxW(args));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, plxW(cwd).c_str(), &startup,
                        &process))
        throw std::runtime_error("cannot start " + installer + " (error " + std::to_string(GetLastError()) + ")");
    const CPLXScopedKernelHandle thread(process.hThread);
    if (processId) *processId = process.dwProcessId;
    return CPLXScopedKernelHandle(process.hProcess);
}

}  // namespace

struct HotfixHost::State {
    bool configured = false;
    std::string screenLog;
    bool hadServicePack = false;
    DWORD servicePack = 0;
    // What the watched folders held before the scenario; folders it created.
    std::vector<std::pair<std::string, std::vector<std::string>>> keptEntries;
    std::vector<std::string> createdFolders;
    // The libraries this process holds mapped as images, as a running browser would.
    std::vector<CPLXScopedModule> loaded;
};

HotfixHost::HotfixHost() : m_state(new State) {}

HotfixHost::~HotfixHost() {
    if (!m_state->configured) return;
    m_state->loaded.clear();  // unmapped before their folders are cleaned up
    // Whatever the scenario left, the next one starts from the prefix as it was.
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaults);
    if (m_state->hadServicePack) writeDword(HKEY_LOCAL_MACHINE, kWindowsKey, L"CSDVersion", m_state->servicePack);
    deleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue, KEY_WOW64_64KEY);
    DeleteFileW(plxW(kRestartMarker).c_str());
    removeProductKeys();
    removeTree(L"C:\\ProgramData\\Orvane");  // the product's data, its diagnostic log among them
    for (const std::string& folder : m_state->createdFolders) removeTree(plxW(folder));
    for (const auto& kept : m_state->keptEntries) {
        for (const std::string& name : entriesOf(kept.first)) {
            if (std::find(kept.second.begin(), kept.second.end(), name) == kept.second.end())
                removeTree(plxW(kept.first + "\\" + name));
        }
    }
}

void HotfixHost::setFaults(const std::string& lines) {
    if (!lines.empty()) throw std::runtime_error("calls are made to fail on the simulated machine only");
}

const char* HotfixHost::installerName() { return "plxhotfix.exe"; }

bool HotfixHost::canModel(const HotfixSettings& settings, std::string& reason) {
    if (!plxIsWine()) {
        reason = "the computer's Windows version is set through Wine";
        return false;
    }
    if (!settings.administrator) {
        reason = "Wine has no file permissions: a standard user cannot be modelled";
        return false;
    }
    if (!settings.faults.empty()) {
        reason = "calls are made to fail on the simulated machine only";
        return false;
    }
    if (!wineVersionOf(settings.windowsVersion)) {
        reason = "Wine has no Windows version " + settings.windowsVersion;
        return false;
    }
    PlxProcessKind kind = plxProcessKind();
    if (settings.x64 && kind != PlxProcessKind::Wow64) {
        reason = "an x64 computer: its scenarios run in a 64-bit Wine prefix";
        return false;
    }
    if (!settings.x64 && kind != PlxProcessKind::X86OnX86) {
        reason = "an x86 computer: its scenarios run in a 32-bit Wine prefix (WINEARCH=win32)";
        return false;
    }
    return true;
}

void HotfixHost::describe(const HotfixSettings& settings, TestMachine&) {
    std::string reason;
    if (!canModel(settings, reason)) throw std::runtime_error("this host cannot make the computer: " + reason);
    m_state->configured = true;
    // A scenario that ended without its reset must not leak into this one.
    removeProductKeys();
    for (const std::string& folder : hotfixWatchedFolders()) {
        if (exists(folder))
            m_state->keptEntries.emplace_back(folder, entriesOf(folder));
        else
            m_state->createdFolders.push_back(folder);
    }
}

void HotfixHost::created(const HotfixSettings& settings, TestMachine&) {
    const WineVersion* version = wineVersionOf(settings.windowsVersion);
    if (!setString(HKEY_CURRENT_USER, kAppDefaults, L"Version", version->name, 0))
        throw std::runtime_error("cannot set Wine's Windows version for plxhotfix.exe");
    m_state->hadServicePack = readDword(HKEY_LOCAL_MACHINE, kWindowsKey, L"CSDVersion", m_state->servicePack);
    writeDword(HKEY_LOCAL_MACHINE, kWindowsKey, L"CSDVersion", version->servicePack);
    // Mapped as an image, whatever its build: Windows then refuses to delete
    // or overwrite it, but lets it be renamed.
    for (const std::string& path : settings.loaded) {
        CPLXScopedModule module(LoadLibraryExW(plxW(path).c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        if (!module.isValid())
            throw std::runtime_error("cannot load " + path + " (error " + std::to_string(GetLastError()) + ")");
        m_state->loaded.push_back(std::move(module));
    }
}

HotfixRun HotfixHost::run(const std::string& installer, const std::string& args, const std::string& cwd,
                          const std::string& answers) {
    // Wine carries a restart request out with wineboot, which then runs RunOnce.
    DeleteFileW(plxW(kRestartMarker).c_str());
    const WText marker = L"cmd.exe /c echo restarted> " + plxW(kRestartMarker);
    if (!setString(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue, marker, KEY_WOW64_64KEY))
        throw std::runtime_error("cannot register the restart marker");

    DWORD processId = 0;
    const CPLXScopedKernelHandle installerProcess = startInstaller(installer, args, cwd, &processId);

    HotfixRun result;
    BoxAnswerer answerer(processId, answers);
    const DWORD kStep = 20, kLimit = 60000;
    DWORD waited = 0;
    while (WaitForSingleObject(installerProcess.get(), kStep) == WAIT_TIMEOUT) {
        waited += kStep;
        if (!answerer.answerWaitingBoxes(m_state->screenLog) || waited > kLimit) {
            TerminateProcess(installerProcess.get(), 99);
            WaitForSingleObject(installerProcess.get(), INFINITE);
            result.output =
                waited > kLimit ? "the installer did not end within a minute" : "a message box had no answer";
            break;
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(installerProcess.get(), &exitCode);
    result.exitCode = static_cast<int>(exitCode);

    // A restart request started wineboot before the installer ended.
    for (int i = 0; i < 1500 && wineBootRunning(); ++i) Sleep(20);
    if (exists(kRestartMarker)) m_state->screenLog += plxtext::screenLogExitLine("reboot") + "\n";
    deleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue, KEY_WOW64_64KEY);
    DeleteFileW(plxW(kRestartMarker).c_str());
    return result;
}

std::vector<HotfixRun> HotfixHost::runTogether(const std::string& installer, const std::string& args,
                                               const std::string& cwd, int count) {
    std::vector<CPLXScopedKernelHandle> processes;
    for (int i = 0; i < count; ++i) processes.push_back(startInstaller(installer, args, cwd));
    std::vector<HotfixRun> results;
    for (const CPLXScopedKernelHandle& process : processes) {
        HotfixRun result;
        if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 99);
            result.output = "the installer did not end within a minute";
        }
        DWORD exitCode = 0;
        GetExitCodeProcess(process.get(), &exitCode);
        result.exitCode = static_cast<int>(exitCode);
        results.push_back(result);
    }
    return results;
}

std::string HotfixHost::screenLog() const { return m_state->screenLog; }

std::string HotfixHost::callLog() const { return ""; }
