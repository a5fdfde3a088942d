// Machines for tests.
//
// On the simulated machine, TestMachine writes a fresh machine directory
// (registry.reg from .reg text, files, machine.ini) and points PLX_MACHINE at
// it until it is destroyed.  On Windows (and Wine) it applies the .reg text
// to the real registry, after deleting the keys it names, and writes the files
// to the real file system; machine.ini values cannot be applied there
// (canSetMachineIni() is false) and tests that need them skip.
//
//   TestMachine m;
//   m.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane]\n\"Version\"=\"8.30.20.0\"\n")
//    .file("C:\\Program Files\\Orvane\\a.dll", "MZ...")
//    .ini("User", "Administrator", "0")
//    .create();
#ifndef PLX_TEST_MACHINE_H
#define PLX_TEST_MACHINE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TestMachine {
public:
    TestMachine() = default;
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // regedit text (UTF-8), with or without the "Windows Registry Editor Version 5.00" line.
    TestMachine& reg(std::string regText);
    // A file on a network share (\\server\share\...) makes the share on the
    // simulated machine.
    TestMachine& file(std::string windowsPath, std::string bytes);
    TestMachine& ini(std::string section, std::string key, std::string value);
    // Builds the machine; throws std::runtime_error when it cannot.
    TestMachine& create();

    static bool canSetMachineIni();
    // The machine directory (simulated machine; "" on Windows).
    std::string dir() const { return m_dir; }
    // The bytes of a file on the machine; throws std::runtime_error when it cannot be read.
    std::string readFile(const std::string& windowsPath) const;
    // screen.log (UTF-8) and registry.reg decoded to UTF-8; "" on Windows.
    std::string screenLog() const;
    std::string registryText() const;

private:
    void applyRegistry() const;
    void removeRegistry() const;

    std::string m_regText;
    std::vector<std::pair<std::string, std::string>> m_files;
    std::vector<std::pair<std::string, std::string>> m_ini;  // "[section]" / "key=value" lines in order
    std::string m_dir;
    bool m_created = false;
    bool m_hadPrevious = false;
    std::u16string m_previous;
};

// What .reg text (UTF-8) names, as the platform's reader (plx_reg_text.h)
// reads it: the sections in order, each with its values.  Throws
// std::runtime_error naming the first line that it does not understand or
// that names a root other than the five HKEY_ roots.
struct PlxRegTextValue {
    std::u16string name;  // empty: the default value ("@")
    bool remove = false;  // "name"=-
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct PlxRegTextKey {
    std::u16string root;  // HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, ...
    std::u16string path;  // below the root, without leading backslash
    bool remove = false;  // [-HKEY_...]: its values are ignored, as regedit does
    std::vector<PlxRegTextValue> values;
};

std::vector<PlxRegTextKey> plxParseRegText(const std::string& regText);

// The bytes of a file, read through Win32; throws std::runtime_error when it
// cannot be read.
std::string plxReadFile(const std::string& windowsPath);

// A fresh, empty simulated machine directory under the temporary directory,
// with C: and its standard folders.  Returns its host path.
std::string plxCreateMachineDir();
// Removes a machine directory and everything in it.
void plxRemoveMachineDir(const std::string& dir);

// A file that another program has loaded as an image, for the life of the
// object: on Windows (and Wine) this process loads it with LoadLibraryExW and
// DONT_RESOLVE_DLL_REFERENCES, so it must be a library of the process's own
// architecture (plxStandInLibrary()); on the simulated machine its path joins
// [Programs] Loaded in the current machine's machine.ini.
class PlxLoadedImage {
public:
    explicit PlxLoadedImage(std::string windowsPath);
    ~PlxLoadedImage();
    PlxLoadedImage(const PlxLoadedImage&) = delete;
    PlxLoadedImage& operator=(const PlxLoadedImage&) = delete;
    bool loaded() const { return m_loaded; }

private:
    std::string m_path;
    void* m_module = nullptr;
    bool m_loaded;
};

// The stand-in add-on library of this process's architecture, as a Windows
// path (UTF-8): plxpwm_ie_com_x64.dll in a 64-bit process, plxpwm_ie_com.dll
// in a 32-bit one.
std::string plxStandInLibrary();

// Whether the test runs under Wine (false on the simulated machine).
bool plxIsWine();

// The kind of process the test is: a 32-bit one on 32-bit Windows, a 32-bit
// one under WOW64 on 64-bit Windows (the installer's kind, and every program
// on an x64 simulated machine), or a 64-bit one.
enum class PlxProcessKind { X86OnX86, Wow64, X64 };
PlxProcessKind plxProcessKind();
const char* plxProcessKindName(PlxProcessKind kind);

#endif
