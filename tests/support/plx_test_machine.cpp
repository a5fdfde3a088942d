#include "plx_test_machine.h"

#include "plx_reg_text.h"
#include "plx_scoped_handle.h"
#include "plx_test_text.h"
#include "plx_testdata.h"
#include "plx_text_codec.h"
#include "plx_win32.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const WCHAR* w(const std::u16string& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }

std::string readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeHostFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void appendHostFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

// A file written through Win32, with the directories above it (those of a
// share's root cannot be made, and need not be).
void writeMachineFile(const std::string& windowsPath, const std::string& bytes) {
    PlxWString path = plxW(windowsPath);
    for (size_t pos = path.find_first_of(TEXT("\\/"), 3); pos != PlxWString::npos;
         pos = path.find_first_of(TEXT("\\/"), pos + 1))
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    CPLXScopedKernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isValid())
        throw std::runtime_error("cannot create " + windowsPath + " (error " + std::to_string(GetLastError()) + ")");
    DWORD written = 0;
    BOOL ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (!ok || written != bytes.size()) throw std::runtime_error("cannot write " + windowsPath);
}

// regedit's text as registry.reg holds it: the header line, CRLF line ends.
std::string regFileText(const std::string& body) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (char c : body) {
        if (c == '\r') continue;
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

std::string utf16File(const std::string& utf8) { return "\xFF\xFE" + plxtext::utf16leBytes(plxtext::fromUtf8(utf8)); }

// The roots TestMachine applies .reg text to, on Windows as on the simulated machine.
const char16_t* const kRoots[] = {u"HKEY_LOCAL_MACHINE", u"HKEY_CURRENT_USER", u"HKEY_CLASSES_ROOT", u"HKEY_USERS",
                                  u"HKEY_CURRENT_CONFIG"};

bool equalAsciiNoCase(std::u16string_view a, std::u16string_view b) {
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// The sections and values of .reg text in order.
class KeyList : public plxtext::RegTextSink {
public:
    std::vector<PlxRegTextKey> keys;

    const char* section(std::vector<std::u16string_view>& parts, bool remove, bool& skipValues) override {
        PlxRegTextKey key;
        for (const char16_t* root : kRoots)
            if (equalAsciiNoCase(parts[0], root)) key.root = root;
        if (key.root.empty()) return "a section below an unknown root key";
        skipValues = remove;
        if (remove && parts.size() == 1) return "a root key cannot be deleted";
        for (size_t i = 1; i < parts.size(); ++i) {
            if (i > 1) key.path += u'\\';
            key.path += parts[i];
        }
        key.remove = remove;
        keys.push_back(std::move(key));
        return nullptr;
    }

    void setValue(const std::u16string& name, uint32_t type, std::vector<uint8_t> data) override {
        keys.back().values.push_back(PlxRegTextValue{name, false, type, std::move(data)});
    }

    void removeValue(const std::u16string& name) override {
        keys.back().values.push_back(PlxRegTextValue{name, true, 0, {}});
    }
};

struct RegTarget {
    HKEY root;
    std::u16string path;
    REGSAM view;
};

RegTarget targetOf(const PlxRegTextKey& key) {
    RegTarget t{HKEY_LOCAL_MACHINE, key.path, 0};
    if (key.root == u"HKEY_CURRENT_USER")
        t.root = HKEY_CURRENT_USER;
    else if (key.root == u"HKEY_CLASSES_ROOT")
        t.root = HKEY_CLASSES_ROOT;
    else if (key.root == u"HKEY_USERS")
        t.root = HKEY_USERS;
    else if (key.root == u"HKEY_CURRENT_CONFIG")
        t.root = HKEY_CURRENT_CONFIG;
    // On 32-bit Windows WOW6432Node is a key like any other, as regedit imports it.
    if (t.root != HKEY_LOCAL_MACHINE || plxProcessKind() == PlxProcessKind::X86OnX86) return t;
    std::u16string upper;
    for (char16_t c : t.path) upper += (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    if (upper.compare(0, 8, u"SOFTWARE") != 0 || (upper.size() > 8 && upper[8] != u'\\')) return t;
    // HKLM\SOFTWARE names its view: WOW6432Node is the 32-bit view, the rest the 64-bit one.
    size_t node = upper.find(u"\\WOW6432NODE");
    if (node != std::u16string::npos && (node + 12 == upper.size() || upper[node + 12] == u'\\')) {
        t.path.erase(node, 12);
        t.view = KEY_WOW64_32KEY;
    } else {
        t.view = KEY_WOW64_64KEY;
    }
    return t;
}

void deleteTree(const RegTarget& t) {
    size_t slash = t.path.find_last_of(u'\\');
    std::u16string parent = slash == std::u16string::npos ? u"" : t.path.substr(0, slash);
    std::u16string leaf = slash == std::u16string::npos ? t.path : t.path.substr(slash + 1);
    if (leaf.empty()) return;  // never a whole root
    CPLXScopedRegKey parentKey;
    if (RegOpenKeyExW(t.root, w(parent), 0, KEY_ALL_ACCESS | t.view, parentKey.out()) != ERROR_SUCCESS) return;
    RegDeleteTreeW(parentKey.get(), w(leaf));
}

}  // namespace

std::vector<PlxRegTextKey> plxParseRegText(const std::string& regText) {
    KeyList list;
    plxtext::RegParseResult result = plxtext::readRegText(plxtext::fromUtf8(regText), list);
    if (result.badLines == 0) return list.keys;
    const plxtext::RegBadLine& bad = result.firstBadLines.front();
    size_t start = 0;
    for (size_t n = 1; n < bad.line; ++n) start = regText.find('\n', start) + 1;
    std::string line = regText.substr(start, regText.find('\n', start) - start);
    throw std::runtime_error(".reg text line " + std::to_string(bad.line) + ": " + bad.why + ": " + line);
}

std::string plxCreateMachineDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    fs::path base = fs::temp_directory_path();
    fs::path dir;
    for (int attempt = 0;; ++attempt) {
        dir = base / ("plx-machine-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + "-" +
                      std::to_string(random() % 100000));
        if (fs::create_directory(dir)) break;
        if (attempt > 100) throw std::runtime_error("cannot create a machine directory in " + base.string());
    }
    for (const char* folder : {"drive_c/Windows/system32", "drive_c/Windows/SysWOW64", "drive_c/Program Files",
                               "drive_c/Program Files (x86)", "drive_c/Users/Public/Downloads", "drive_c/ProgramData"})
        fs::create_directories(dir / folder);
    // The machine's architecture for a whole test run.
    if (const char* architecture = std::getenv("PLX_TEST_ARCHITECTURE"))
        writeHostFile((dir / "machine.ini").string(), std::string("[Windows]\nArchitecture=") + architecture + "\n");
    return dir.string();
}

void plxRemoveMachineDir(const std::string& dir) {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

namespace {

// Sets [Programs] Loaded on the current machine to the paths loaded now.  The
// setting is appended: the last one counts, and machine.ini's growing size
// tells the machine to read it again.
void setLoaded(const std::string& path, bool loaded) {
    static std::vector<std::string>* paths = new std::vector<std::string>;
    if (loaded)
        paths->push_back(path);
    else
        paths->erase(std::find(paths->begin(), paths->end(), path));
    std::string list;
    for (const std::string& p : *paths) list += (list.empty() ? "" : "|") + p;
    WCHAR dir[4096];
    DWORD n = GetEnvironmentVariableW(TEXT("PLX_MACHINE"), dir, 4096);
    if (n == 0 || n >= 4096) throw std::runtime_error("PLX_MACHINE names no machine");
    std::string machine = plxNarrow(dir, n);
    appendHostFile(machine + "/machine.ini", "\n[Programs]\nLoaded=" + list + "\n");
}

}  // namespace

PlxLoadedImage::PlxLoadedImage(std::string windowsPath) : m_path(std::move(windowsPath)) {
    if constexpr (PLX_SIMULATED_MACHINE) {
        setLoaded(m_path, true);
        m_loaded = true;
    } else {
        m_module = LoadLibraryExW(plxW(m_path).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        m_loaded = m_module != nullptr;
    }
}

PlxLoadedImage::~PlxLoadedImage() {
    if (!m_loaded) return;
    if constexpr (PLX_SIMULATED_MACHINE)
        setLoaded(m_path, false);
    else
        FreeLibrary(static_cast<HMODULE>(m_module));
}

std::string plxStandInLibrary() {
    const char* name = sizeof(void*) == 8 ? "\\plxpwm_ie_com_x64.dll" : "\\plxpwm_ie_com.dll";
    return std::string(PLX_TESTDATA_DIR_UTF8) + name;
}

bool plxIsWine() {
    if constexpr (PLX_SIMULATED_MACHINE) {
        return false;
    } else {
        HMODULE ntdll = GetModuleHandleW(TEXT("ntdll.dll"));
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }
}

PlxProcessKind plxProcessKind() {
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) return PlxProcessKind::Wow64;
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? PlxProcessKind::X64 : PlxProcessKind::X86OnX86;
}

const char* plxProcessKindName(PlxProcessKind kind) {
    switch (kind) {
    case PlxProcessKind::X86OnX86: return "32-bit process on 32-bit Windows";
    case PlxProcessKind::Wow64: return "32-bit process under WOW64";
    case PlxProcessKind::X64: return "64-bit process";
    }
    return "?";
}

bool TestMachine::canSetMachineIni() { return PLX_SIMULATED_MACHINE; }

TestMachine& TestMachine::reg(std::string regText) {
    // Each piece may carry regedit's header line; registry.reg has it once.
    const std::string header = "Windows Registry Editor Version 5.00";
    size_t start = regText.find_first_not_of("\xEF\xBB\xBF \t\r\n");
    if (start != std::string::npos && regText.compare(start, header.size(), header) == 0)
        regText.erase(0, start + header.size());
    m_regText += regText + "\n";
    return *this;
}

TestMachine& TestMachine::file(std::string windowsPath, std::string bytes) {
    m_files.emplace_back(std::move(windowsPath), std::move(bytes));
    return *this;
}

TestMachine& TestMachine::ini(std::string section, std::string key, std::string value) {
    m_ini.emplace_back(std::move(section), std::move(key) + "=" + std::move(value));
    return *this;
}

TestMachine& TestMachine::create() {
    if (m_created) throw std::runtime_error("TestMachine::create called twice");
    m_created = true;
    if constexpr (PLX_SIMULATED_MACHINE) {
        plxParseRegText(m_regText);  // fails early on text that the registry would refuse
        m_dir = plxCreateMachineDir();
        writeHostFile(m_dir + "/registry.reg", utf16File(regFileText(m_regText)));
        WCHAR previous[4096];
        DWORD n = GetEnvironmentVariableW(TEXT("PLX_MACHINE"), previous, 4096);
        m_hadPrevious = n > 0 && n < 4096;
        if (m_hadPrevious) m_previous.assign(reinterpret_cast<const char16_t*>(previous), n);
        SetEnvironmentVariableW(TEXT("PLX_MACHINE"), plxW(m_dir).c_str());
        // Files first: machine.ini may take the administrator's rights away.
        for (const auto& f : m_files) {
            // A file on \\server\share\ makes the share: unc/server/share.
            if (f.first.compare(0, 2, "\\\\") == 0) {
                std::string share = f.first.substr(2, f.first.find('\\', f.first.find('\\', 2) + 1) - 2);
                std::replace(share.begin(), share.end(), '\\', '/');
                fs::create_directories(m_dir + "/unc/" + share);
            }
            writeMachineFile(f.first, f.second);
        }
        std::string text;
        std::vector<std::string> sections;
        for (const auto& entry : m_ini) {
            bool known = false;
            for (const auto& s : sections) known = known || s == entry.first;
            if (!known) sections.push_back(entry.first);
        }
        for (const auto& section : sections) {
            text += "[" + section + "]\n";
            for (const auto& entry : m_ini)
                if (entry.first == section) text += entry.second + "\n";
        }
        if (!text.empty()) appendHostFile(m_dir + "/machine.ini", text);
    } else {
        applyRegistry();
        for (const auto& f : m_files) writeMachineFile(f.first, f.second);
    }
    return *this;
}

TestMachine::~TestMachine() {
    if (!m_created) return;
    if constexpr (PLX_SIMULATED_MACHINE) {
        SetEnvironmentVariableW(TEXT("PLX_MACHINE"), m_hadPrevious ? w(m_previous) : nullptr);
        if (GetEnvironmentVariableW(TEXT("PLX_KEEP_MACHINE"), nullptr, 0) == 0) plxRemoveMachineDir(m_dir);
    } else {
        try {
            removeRegistry();
        } catch (...) {
            // The text was checked when the machine was created.
        }
        for (const auto& f : m_files) DeleteFileW(plxW(f.first).c_str());
    }
}

void TestMachine::applyRegistry() const {
    std::vector<PlxRegTextKey> keys = plxParseRegText(m_regText);
    removeRegistry();
    for (const PlxRegTextKey& key : keys) {
        if (key.remove) continue;
        RegTarget t = targetOf(key);
        CPLXScopedRegKey handle;
        LSTATUS status = RegCreateKeyExW(t.root, w(t.path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_ALL_ACCESS | t.view, nullptr, handle.out(), nullptr);
        if (status != ERROR_SUCCESS)
            throw std::runtime_error("cannot create registry key " + plxtext::toUtf8(t.path) + " (error " +
                                     std::to_string(status) + ")");
        for (const PlxRegTextValue& value : key.values) {
            if (value.remove) {
                RegDeleteValueW(handle.get(), w(value.name));
                continue;
            }
            status = RegSetValueExW(handle.get(), w(value.name), 0, value.type, value.data.data(),
                                    static_cast<DWORD>(value.data.size()));
            if (status != ERROR_SUCCESS)
                throw std::runtime_error("cannot set registry value " + plxtext::toUtf8(value.name));
        }
    }
}

void TestMachine::removeRegistry() const {
    for (const PlxRegTextKey& key : plxParseRegText(m_regText)) deleteTree(targetOf(key));
}

std::string TestMachine::readFile(const std::string& windowsPath) const { return plxReadFile(windowsPath); }

std::string plxReadFile(const std::string& windowsPath) {
    CPLXScopedKernelHandle file(CreateFileW(plxW(windowsPath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isValid())
        throw std::runtime_error("cannot open " + windowsPath + " (error " + std::to_string(GetLastError()) + ")");
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
    return bytes;
}

std::string TestMachine::screenLog() const {
    if constexpr (!PLX_SIMULATED_MACHINE) return "";
    return readHostFile(m_dir + "/screen.log");
}

std::string TestMachine::registryText() const {
    if constexpr (!PLX_SIMULATED_MACHINE) return "";
    RegFlushKey(HKEY_LOCAL_MACHINE);  // this process's changes into registry.reg
    return plxtext::toUtf8(plxtext::decodeRegBytes(readHostFile(m_dir + "/registry.reg")));
}
