#include "hotfix_machine.h"

#include "plx_scoped_handle.h"
#include "plx_screen_log.h"
#include "plx_test_text.h"
#include "plx_testdata.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

const char* const kMsgOsMismatch = "This oprating system does not match requirements.";
const char* const kMsgVersionMismatch =
    "This patch does not apply to this version of Vaultline Security Suite - Password Manager.";
const char* const kMsgCaption = "Vaultline Security Suite - Password Manager";
const char* const kMsgRestart = "The installation of the patch has completed. Please restart system to enable changes.";
const char* const kMsgAlreadyInstalled = "This patch has already been installed on this computer.";
const char* const kMsgNotInstalled = "Vaultline Security Suite - Password Manager is not installed on this computer.";
const char* const kMsgFailure = "An unknown exception occurred, the patch installation failed.";

const char* const kDir32 = "C:\\Program Files (x86)\\Orvane\\Vaultline Security Suite\\";
const char* const kDir64 = "C:\\Program Files\\Orvane\\Vaultline Security Suite\\";
const char* const kDirX86 = "C:\\Program Files\\Orvane\\Vaultline Security Suite\\";
const char* const kDownloads = "C:\\Users\\Public\\Downloads\\";

namespace {
std::string regEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool lessNoCase(const std::string& a, const std::string& b) { return upper(a) < upper(b); }

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i && i % 64 == 0) out += "\n    ";
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Every file below dir (the installer excepted), sorted without regard to case.
void listFiles(const std::string& dir, std::vector<std::pair<std::string, bool>>& entries) {
    WIN32_FIND_DATAW data;
    CPLXScopedFindHandle search(FindFirstFileW(plxW(dir + "\\*").c_str(), &data));
    if (!search.isValid()) return;
    std::vector<std::pair<std::string, bool>> here;
    do {
        std::string name = plxNarrow(data.cFileName);
        if (name == "." || name == "..") continue;
        here.emplace_back(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(search.get(), &data));
    std::sort(here.begin(), here.end(), [](const auto& a, const auto& b) { return lessNoCase(a.first, b.first); });
    for (const auto& entry : here) {
        std::string path = dir + "\\" + entry.first;
        if (entry.second)
            listFiles(path, entries);
        else if (upper(entry.first) != upper(HotfixHost::installerName()))
            entries.emplace_back(path, false);
    }
}

// A key and everything below it: sub keys and values sorted by upper-cased name.
void dumpKey(HKEY parent, const std::string& path, REGSAM view, const std::string& label, std::string& out) {
    CPLXScopedRegKey key;
    if (RegOpenKeyExW(parent, plxW(path).c_str(), 0, KEY_READ | view, key.out()) != ERROR_SUCCESS) return;
    out += "key " + label + "\n";
    std::vector<std::string> values, subKeys;
    for (DWORD i = 0;; ++i) {
        WCHAR name[512];
        DWORD count = 512, type = 0, size = 0;
        if (RegEnumValueW(key.get(), i, name, &count, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(size + 1);
        DWORD nameCount = 512;
        if (RegEnumValueW(key.get(), i, name, &nameCount, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        values.push_back("  value \"" + plxNarrow(name, nameCount) + "\" type " + std::to_string(type) + " data " +
                         hex(std::string(reinterpret_cast<const char*>(data.data()), size)) + "\n");
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[512];
        DWORD count = 512;
        if (RegEnumKeyExW(key.get(), i, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.push_back(plxNarrow(name, count));
    }
    std::sort(values.begin(), values.end(), lessNoCase);
    std::sort(subKeys.begin(), subKeys.end(), lessNoCase);
    for (const std::string& value : values) out += value;
    for (const std::string& sub : subKeys) dumpKey(key.get(), sub, view, label + "\\" + sub, out);
}

std::string testName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

// Where two end states part: the entry (file or key) and its first differing line.
std::string firstDifference(const std::string& kept, const std::string& state) {
    std::vector<std::string> a = lines(kept), b = lines(state);
    std::string entry;
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        std::string left = i < a.size() ? a[i] : "<end>", right = i < b.size() ? b[i] : "<end>";
        if (left == right) {
            if (left.rfind("file ", 0) == 0 || left.rfind("key ", 0) == 0) entry = left;
            continue;
        }
        return "in \"" + entry + "\", line " + std::to_string(i + 1) + " was \"" + left.substr(0, 160) + "\", here \"" +
               right.substr(0, 160) + "\"";
    }
    return "";
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
}  // namespace

const std::vector<std::string>& hotfixWatchedFolders() {
    static const std::vector<std::string> folders = {"C:\\Program Files\\Orvane", "C:\\Program Files (x86)\\Orvane",
                                                     "C:\\Users\\Public\\Downloads", "C:\\Users\\Public\\Documents"};
    return folders;
}

std::string standIn(const std::string& version, bool bX64Build) {
    std::string dir = PLX_TESTDATA_DIR_UTF8;
    if (!version.empty()) dir += "\\" + version;
    return plxReadFile(dir + (bX64Build ? "\\plxpwm_ie_com_x64.dll" : "\\plxpwm_ie_com.dll"));
}

std::string packageFile(const std::string& name) {
    return plxReadFile(std::string(PLX_PACKAGE_DIR_UTF8) + "\\" + name);
}

void HotfixX64::SetUp() {
    HotfixSettings settings;
    std::string reason;
    if (!HotfixHost::canModel(settings, reason)) GTEST_SKIP() << reason;
}

void HotfixX86::SetUp() {
    HotfixSettings settings;
    settings.x64 = false;
    std::string reason;
    if (!HotfixHost::canModel(settings, reason)) GTEST_SKIP() << reason;
}

HotfixMachine& HotfixMachine::windows(const std::string& version, bool bX64) {
    m_settings.windowsVersion = version;
    m_settings.x64 = bX64;
    return *this;
}

HotfixMachine& HotfixMachine::standardUser() {
    m_settings.administrator = false;
    return *this;
}

HotfixMachine& HotfixMachine::faults(const std::string& lines) {
    m_settings.faults = lines;
    return *this;
}

void HotfixMachine::faultsNow(const std::string& lines) {
    m_settings.faults = lines;
    m_host.setFaults(lines);
}

HotfixMachine& HotfixMachine::answers(const std::string& list) {
    m_answers = list;
    return *this;
}

HotfixMachine& HotfixMachine::reg(const std::string& regText) {
    m_machine.reg(regText);
    return *this;
}

HotfixMachine& HotfixMachine::product(const std::string& version, bool bVLSInstall) {
    const std::string software = x64() ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node" : "HKEY_LOCAL_MACHINE\\SOFTWARE";
    std::string text = "[" + software + "\\Orvane\\Vaultline Security Suite]\n\"Version\"=\"" + version +
                       "\"\n\"InstallPath\"=\"" + regEscape(x64() ? kDir32 : kDirX86) + "\"\n";
    if (x64())
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"InstallPath\"=\"" +
                regEscape(kDir64) + "\"\n";
    if (bVLSInstall)
        text += "[" + software + "\\Orvane\\PLX Common\\Vaultline Security Suite]\n\"VLSInstall\"=dword:00000001\n";
    return reg(text);
}

HotfixMachine& HotfixMachine::installed(const std::string& dir, const std::string& version, bool bX64Build) {
    m_installed.push_back(dir + "plxpwm_ie_com.dll");
    return file(m_installed.back(), standIn(version, bX64Build));
}

HotfixMachine& HotfixMachine::loadedByBrowser(bool bLoaded) {
    m_loaded = bLoaded;
    return *this;
}

HotfixMachine& HotfixMachine::packageIn(const std::string& folder) {
    m_packageDir = folder;
    return *this;
}

HotfixMachine& HotfixMachine::file(const std::string& windowsPath, const std::string& bytes) {
    m_machine.file(windowsPath, bytes);
    return *this;
}

HotfixMachine& HotfixMachine::package(bool bWithLibraries) {
    file(m_packageDir + HotfixHost::installerName(), packageFile(HotfixHost::installerName()));
    if (bWithLibraries) {
        file(m_packageDir + "plxpwm_ie_com.dll", packageFile("plxpwm_ie_com.dll"));
        file(m_packageDir + "plxpwm_ie_com_x64.dll", packageFile("plxpwm_ie_com_x64.dll"));
    }
    return *this;
}

HotfixMachine& HotfixMachine::create() {
    if (m_loaded) m_settings.loaded = m_installed;
    m_host.describe(m_settings, m_machine);
    m_machine.create();
    m_host.created(m_settings, m_machine);
    return *this;
}

void HotfixMachine::link(const std::string& path, const std::string& target, bool bSymbolic) {
    const bool bMade = bSymbolic ? CreateSymbolicLinkW(plxW(path).c_str(), plxW(target).c_str(), 0) != FALSE
                                 : CreateHardLinkW(plxW(path).c_str(), plxW(target).c_str(), nullptr) != FALSE;
    if (!bMade)
        throw std::runtime_error("cannot link " + path + " to " + target + " (error " + std::to_string(GetLastError()) +
                                 ")");
}

HotfixRun HotfixMachine::run(const std::string& args, const std::string& cwd) {
    HotfixRun result = m_host.run(m_packageDir + HotfixHost::installerName(), args, cwd, m_answers);
    if (m_settings.faults.empty()) keepEndState();
    return result;
}

std::vector<HotfixRun> HotfixMachine::runTogether(int count, const std::string& args) {
    std::vector<HotfixRun> results =
        m_host.runTogether(m_packageDir + HotfixHost::installerName(), args, kDownloads, count);
    keepEndState();
    return results;
}

bool HotfixMachine::exists(const std::string& windowsPath) const {
    return GetFileAttributesW(plxW(windowsPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> HotfixMachine::boxes() const {
    std::vector<std::string> out;
    for (const std::string& line : lines(screenLog())) {
        if (plxtext::screenLogKind(line) != plxtext::kScreenLogBox) continue;
        // Every message box carries the product name as its caption.
        if (plxtext::screenLogField(line, "caption") != kMsgCaption) out.push_back("wrong caption: " + line);
        out.push_back(plxtext::screenLogField(line, "text") + "|" + plxtext::screenLogField(line, "buttons") + "|" +
                      plxtext::screenLogField(line, "answer"));
    }
    return out;
}

std::vector<std::string> HotfixMachine::restarts() const {
    std::vector<std::string> out;
    for (const std::string& line : lines(screenLog())) {
        if (plxtext::screenLogKind(line) == plxtext::kScreenLogExit)
            out.push_back(std::string(plxtext::screenLogExitAction(line)));
    }
    return out;
}

// The end state of the run: the watched folders' files byte for byte and the
// product's registry keys in each view, kept and compared as the header says.
void HotfixMachine::keepEndState() {
    std::string state;
    std::vector<std::pair<std::string, bool>> files;
    for (const std::string& folder : hotfixWatchedFolders()) listFiles(folder, files);
    for (const auto& f : files) {
        std::string bytes = m_machine.readFile(f.first);
        state += "file " + f.first + " (" + std::to_string(bytes.size()) + " bytes)\n    " + hex(bytes) + "\n";
    }
    struct View {
        REGSAM flag;
        const char* name;
    };
    const std::vector<View> views = x64() ? std::vector<View>{{KEY_WOW64_64KEY, "64-bit"}, {KEY_WOW64_32KEY, "32-bit"}}
                                          : std::vector<View>{{0, "the"}};
    for (const View& view : views) {
        for (const char* key : {"SOFTWARE\\Orvane", "SOFTWARE\\Meridal Stillharbour"})
            dumpKey(HKEY_LOCAL_MACHINE, key, view.flag, std::string(view.name) + " view: HKLM\\" + key, state);
    }

    const std::string name = testName() + "." + std::to_string(++m_runs) + ".txt";
    if (const char* dir = std::getenv("PLX_E2E_SNAPSHOTS")) {
        std::ofstream out(std::string(dir) + "/" + name, std::ios::binary | std::ios::trunc);
        out << state;
        EXPECT_TRUE(out.good()) << "cannot write the end state to " << dir;
    }
    if (const char* other = std::getenv("PLX_E2E_COMPARE")) {
        std::string kept = readWhole(std::string(other) + "/" + name);
        EXPECT_FALSE(kept.empty()) << "no end state of this run in " << other << " (run the native suite first)";
        if (!kept.empty() && kept != state)
            ADD_FAILURE() << "this run ended otherwise than the same scenario in " << other << "/" << name << ": "
                          << firstDifference(kept, state);
    }
}

std::string patchLogBytes(const std::vector<std::string>& lines, bool bWithBom) {
    std::string bytes = bWithBom ? std::string("\xFF\xFE", 2) : std::string();
    for (const std::string& line : lines) {
        for (char c : line + "\r\n") {
            bytes += c;
            bytes += '\0';
        }
    }
    return bytes;
}

std::string logLine(const char* szText, int iAnswer) {
    return std::string(szText) + " User select: " + std::to_string(iAnswer);
}

std::string box(const char* szText, const char* szButtons, const char* szAnswer) {
    return std::string(szText) + "|" + szButtons + "|" + szAnswer;
}

bool regKeyExists(const std::string& keyPath, REGSAM view) {
    CPLXScopedRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, plxW(keyPath).c_str(), 0, KEY_READ | view, key.out()) == ERROR_SUCCESS;
}

namespace {
bool readRegValue(const std::string& keyPath, const std::string& valueName, DWORD dwType, std::vector<WCHAR>& data,
                  REGSAM view) {
    CPLXScopedRegKey hKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, plxW(keyPath).c_str(), 0, KEY_READ | view, hKey.out()) != ERROR_SUCCESS)
        return false;
    BYTE buffer[4096] = {};
    DWORD dwSize = sizeof(buffer) - 4;
    DWORD dwActual = 0;
    LSTATUS status = RegQueryValueExW(hKey.get(), plxW(valueName).c_str(), nullptr, &dwActual, buffer, &dwSize);
    if (status != ERROR_SUCCESS || dwActual != dwType) return false;
    const WCHAR* text = reinterpret_cast<const WCHAR*>(buffer);
    data.assign(text, text + dwSize / sizeof(WCHAR));
    return true;
}
}  // namespace

bool readRegString(const std::string& keyPath, const std::string& valueName, std::string& text, REGSAM view) {
    std::vector<WCHAR> data;
    if (!readRegValue(keyPath, valueName, REG_SZ, data, view)) return false;
    text = plxNarrow(data.data(), static_cast<size_t>(std::find(data.begin(), data.end(), 0) - data.begin()));
    return true;
}

bool readRegMultiString(const std::string& keyPath, const std::string& valueName, std::vector<std::string>& list,
                        REGSAM view) {
    std::vector<WCHAR> data;
    if (!readRegValue(keyPath, valueName, REG_MULTI_SZ, data, view)) return false;
    // The exact data: each string with its terminator, then one more terminator.
    list.clear();
    size_t start = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != 0) continue;
        if (i == start) {
            if (i + 1 != data.size()) list.push_back("<data after the list end>");
            return true;
        }
        list.push_back(plxNarrow(data.data() + start, i - start));
        start = i + 1;
    }
    list.push_back("<no list end>");
    return true;
}
