#include "hotfix_machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

const char* const kMsgOsMismatch = "This oprating system does not match requirements.";
const char* const kMsgVersionMismatch =
    "This patch does not apply to this version of Vaultline Security Suite - Password Manager.";
const char* const kMsgCaption = "Vaultline Security Suite - Password Manager";
const char* const kMsgRestart =
    "The installation of the patch has completed. Please restart system to enable changes.";
const char* const kMsgAlreadyInstalled = "This patch has already been installed on this computer.";
const char* const kMsgNotInstalled = "Vaultline Security Suite - Password Manager is not installed on this computer.";
const char* const kMsgFailure = "An unknown exception occurred, the patch installation failed.";

const char* const kDir32 = "C:\\Program Files (x86)\\Orvane\\Vaultline Security Suite\\";
const char* const kDir64 = "C:\\Program Files\\Orvane\\Vaultline Security Suite\\";
const char* const kDirX86 = "C:\\Program Files\\Orvane\\Vaultline Security Suite\\";
const char* const kDownloads = "C:\\Users\\Public\\Downloads\\";

namespace {
std::string readHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string regEscape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::u16string widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

std::string narrow(const WCHAR* text, size_t length)
{
    std::string out;
    for (size_t i = 0; i < length && text[i] != 0; ++i)
        out += static_cast<char>(text[i]);
    return out;
}

bool equalNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The quoted field of a screen.log line, unescaped.
std::string field(const std::string& line, const std::string& name)
{
    size_t pos = line.find(" " + name + "=");
    if (pos == std::string::npos)
        return "";
    pos += name.size() + 2;
    if (line[pos] != '"') {
        size_t end = line.find(' ', pos);
        return line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    }
    std::string out;
    for (++pos; pos < line.size() && line[pos] != '"'; ++pos) {
        if (line[pos] == '\\' && pos + 1 < line.size())
            ++pos;
        out += line[pos];
    }
    return out;
}
}  // namespace

std::string standIn(const std::string& version, bool bX64Build)
{
    std::string dir = PLX_TESTDATA_HOST_DIR;
    if (!version.empty())
        dir += "/" + version;
    return readHostFile(dir + (bX64Build ? "/plxpwm_ie_com_x64.dll" : "/plxpwm_ie_com.dll"));
}

std::string packageFile(const std::string& name)
{
    return readHostFile(std::string(PLX_PACKAGE_HOST_DIR) + "/" + name);
}

HotfixMachine& HotfixMachine::windows(const std::string& version, bool bX64)
{
    m_bX64 = bX64;
    m_machine.ini("Windows", "Version", version).ini("Windows", "Architecture", bX64 ? "x64" : "x86");
    return *this;
}

HotfixMachine& HotfixMachine::standardUser()
{
    m_machine.ini("User", "Administrator", "0");
    return *this;
}

HotfixMachine& HotfixMachine::answers(const std::string& list)
{
    m_machine.ini("Display", "Answers", list);
    return *this;
}

void HotfixMachine::answersNow(const std::string& list)
{
    const std::string ini = m_machine.dir() + "/machine.ini";
    std::istringstream in(readHostFile(ini));
    std::string text;
    bool bPlaced = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Answers=", 0) == 0)
            continue;
        text += line + "\n";
        if (line == "[Display]") {
            text += "Answers=" + list + "\n";
            bPlaced = true;
        }
    }
    if (!bPlaced)
        text += "[Display]\nAnswers=" + list + "\n";
    std::ofstream(ini, std::ios::binary | std::ios::trunc) << text;
}

HotfixMachine& HotfixMachine::reg(const std::string& regText)
{
    m_machine.reg(regText);
    return *this;
}

HotfixMachine& HotfixMachine::product(const std::string& version, bool bVLSInstall)
{
    const std::string software = m_bX64 ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node" : "HKEY_LOCAL_MACHINE\\SOFTWARE";
    std::string text = "[" + software + "\\Orvane\\Vaultline Security Suite]\n\"Version\"=\"" + version +
                       "\"\n\"InstallPath\"=\"" + regEscape(m_bX64 ? kDir32 : kDirX86) + "\"\n";
    if (m_bX64)
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"InstallPath\"=\"" +
                regEscape(kDir64) + "\"\n";
    if (bVLSInstall)
        text += "[" + software + "\\Orvane\\PLX Common\\Vaultline Security Suite]\n\"VLSInstall\"=dword:00000001\n";
    return reg(text);
}

HotfixMachine& HotfixMachine::installed(const std::string& dir, const std::string& version, bool bX64Build)
{
    return file(dir + "plxpwm_ie_com.dll", standIn(version, bX64Build));
}

HotfixMachine& HotfixMachine::file(const std::string& windowsPath, const std::string& bytes)
{
    m_machine.file(windowsPath, bytes);
    return *this;
}

HotfixMachine& HotfixMachine::package(bool bWithLibraries)
{
    file(std::string(kDownloads) + "plxhotfix", packageFile("plxhotfix"));
    if (bWithLibraries) {
        file(std::string(kDownloads) + "plxpwm_ie_com.dll", packageFile("plxpwm_ie_com.dll"));
        file(std::string(kDownloads) + "plxpwm_ie_com_x64.dll", packageFile("plxpwm_ie_com_x64.dll"));
    }
    return *this;
}

HotfixMachine& HotfixMachine::create()
{
    m_machine.create();
    return *this;
}

std::string HotfixMachine::hostPath(const std::string& windowsPath) const
{
    // C:\a\b -> <machine>/drive_c/a/b, matching existing names without regard to case.
    if (windowsPath.size() < 3 || windowsPath[1] != ':')
        throw std::runtime_error("not a full path: " + windowsPath);
    std::string host = m_machine.dir() + "/drive_" + static_cast<char>(std::tolower(windowsPath[0]));
    std::istringstream parts(windowsPath.substr(3));
    std::string part;
    while (std::getline(parts, part, '\\')) {
        if (part.empty())
            continue;
        std::string match = part;
        if (DIR* dir = opendir(host.c_str())) {
            while (dirent* entry = readdir(dir)) {
                if (equalNoCase(entry->d_name, part)) {
                    match = entry->d_name;
                    break;
                }
            }
            closedir(dir);
        }
        host += "/" + match;
    }
    return host;
}

bool HotfixMachine::exists(const std::string& windowsPath) const
{
    struct stat st;
    return stat(hostPath(windowsPath).c_str(), &st) == 0;
}

std::string HotfixMachine::readFile(const std::string& windowsPath) const
{
    return readHostFile(hostPath(windowsPath));
}

HotfixRun HotfixMachine::run(const std::string& args, const std::string& cwd)
{
    const std::string program = hostPath(std::string(kDownloads) + "plxhotfix");
    chmod(program.c_str(), 0755);
    const std::string directory = hostPath(cwd);
    const std::string outputFile = m_machine.dir() + "/run-output.txt";

    std::vector<std::string> argv{program};
    std::istringstream words(args);
    for (std::string word; words >> word;)
        argv.push_back(word);

    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        // No terminal: a box without an answer from machine.ini is not shown.
        int in = open("/dev/null", O_RDONLY);
        int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0 ||
            chdir(directory.c_str()) != 0)
            _exit(127);
        setenv("PLX_MACHINE", m_machine.dir().c_str(), 1);
        std::vector<char*> raw;
        for (std::string& a : argv)
            raw.push_back(&a[0]);
        raw.push_back(nullptr);
        execv(program.c_str(), raw.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    HotfixRun result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = readHostFile(outputFile);
    return result;
}

std::vector<std::string> HotfixMachine::boxes() const
{
    std::vector<std::string> out;
    std::istringstream lines(m_machine.screenLog());
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("MessageBox ", 0) != 0)
            continue;
        // Every message box carries the product name as its caption.
        if (field(line, "caption") != kMsgCaption)
            out.push_back("wrong caption: " + line);
        out.push_back(field(line, "text") + "|" + field(line, "buttons") + "|" + field(line, "answer"));
    }
    return out;
}

std::string patchLogBytes(const std::vector<std::string>& lines, bool bWithBom)
{
    std::string bytes = bWithBom ? std::string("\xFF\xFE", 2) : std::string();
    for (const std::string& line : lines) {
        for (char c : line + "\r\n") {
            bytes += c;
            bytes += '\0';
        }
    }
    return bytes;
}

std::string logLine(const char* szText, int iAnswer)
{
    return std::string(szText) + " User select: " + std::to_string(iAnswer);
}

std::string box(const char* szText, const char* szButtons, const char* szAnswer)
{
    return std::string(szText) + "|" + szButtons + "|" + szAnswer;
}

bool regKeyExists(const std::string& keyPath, REGSAM view)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(keyPath).c_str(), 0, KEY_READ | view, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

namespace {
bool readRegValue(const std::string& keyPath, const std::string& valueName, DWORD dwType, std::vector<WCHAR>& data,
                  REGSAM view)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(keyPath).c_str(), 0, KEY_READ | view, &hKey) != ERROR_SUCCESS)
        return false;
    BYTE buffer[4096] = {};
    DWORD dwSize = sizeof(buffer) - 4;
    DWORD dwActual = 0;
    LSTATUS status = RegQueryValueExW(hKey, widen(valueName).c_str(), nullptr, &dwActual, buffer, &dwSize);
    RegCloseKey(hKey);
    if (status != ERROR_SUCCESS || dwActual != dwType)
        return false;
    const WCHAR* text = reinterpret_cast<const WCHAR*>(buffer);
    data.assign(text, text + dwSize / sizeof(WCHAR));
    return true;
}
}  // namespace

bool readRegString(const std::string& keyPath, const std::string& valueName, std::string& text, REGSAM view)
{
    std::vector<WCHAR> data;
    if (!readRegValue(keyPath, valueName, REG_SZ, data, view))
        return false;
    text = narrow(data.data(), data.size());
    return true;
}

bool readRegMultiString(const std::string& keyPath, const std::string& valueName, std::vector<std::string>& list,
                        REGSAM view)
{
    std::vector<WCHAR> data;
    if (!readRegValue(keyPath, valueName, REG_MULTI_SZ, data, view))
        return false;
    // The exact data: each string with its terminator, then one more terminator.
    list.clear();
    size_t start = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != 0)
            continue;
        if (i == start) {
            if (i + 1 != data.size())
                list.push_back("<data after the list end>");
            return true;
        }
        list.push_back(narrow(data.data() + start, i - start));
        start = i + 1;
    }
    list.push_back("<no list end>");
    return true;
}
