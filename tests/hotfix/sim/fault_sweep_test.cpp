// Every platform call of a silent, successful run of the installer made to
// fail in turn, on the demo computers (product 8.30.20.0, older libraries in
// the installation directories, the package in the download folder).
//
// A clean run lists its calls (machine.ini [Faults] Count=1).  Each call
// occurrence is then failed, on a fresh computer, with an error Windows gives
// for that call; and after each failed replacement of a library, every call
// the installer makes while it recovers (the restore, the clean-up, the
// messages, the log lines, the other library) is failed as well, together
// with the first.  The step that a failed
// call belongs to, read from the call's name and subject, decides what the
// installer's rules leave behind; every run must end exactly so, and every
// installation directory must keep a whole, working library under its own name.
#include "hotfix_machine.h"
#include "plx_text_codec.h"
#include "sweep_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace {
const char* const kLibrary = "plxpwm_ie_com.dll";
const char* const kLogName = "patchlog8106.txt";
const char* const kOldVersion = "8.30.20.0";
const std::string kProductKey = "Software\\Orvane\\Vaultline Security Suite";
const std::string kPolicyKey = "Software\\Orvane\\PLX Common\\Vaultline Security Suite";
const std::string kRecordKey = kProductKey + "\\Patch\\8106";
const char* const kDescription = "Resolve null pointer result in IE crash.";

// The error each call fails with: one that Windows reports for it.
DWORD errorFor(const std::string& function) {
    static const std::map<std::string, DWORD> kErrors = {
        {"CreateFileW", ERROR_SHARING_VIOLATION},  // another program holds the log open
        {"WriteFile", ERROR_DISK_FULL},
        {"SetFilePointer", ERROR_INVALID_PARAMETER},
        {"CloseHandle", ERROR_INVALID_HANDLE},
        {"ReadFile", ERROR_LOCK_VIOLATION},  // another program locked a part of it
        {"GetFileSize", ERROR_INVALID_HANDLE},
        {"GetFileInformationByHandle", ERROR_INVALID_FUNCTION},  // a file system without it
        {"DeleteFileW", ERROR_SHARING_VIOLATION},                // a scanner has the file open
        {"CreateMutexW", ERROR_ACCESS_DENIED},                   // another user's object of that name
        {"WaitForSingleObject", ERROR_INVALID_HANDLE},
        {"ReleaseMutex", ERROR_NOT_OWNER},
        {"CopyFileW", ERROR_DISK_FULL},
        {"MoveFileExW", ERROR_SHARING_VIOLATION},  // the library is in use
        {"GetCurrentDirectoryW", ERROR_NOT_ENOUGH_MEMORY},
        {"GetModuleFileNameW", ERROR_MOD_NOT_FOUND},
        {"GetModuleHandleW", ERROR_MOD_NOT_FOUND},
        {"LoadLibraryW", ERROR_NOT_ENOUGH_MEMORY},
        {"LoadLibraryExW", ERROR_NOT_ENOUGH_MEMORY},
        {"GetProcAddress", ERROR_PROC_NOT_FOUND},
        {"FreeLibrary", ERROR_MOD_NOT_FOUND},
        {"SetDefaultDllDirectories", ERROR_INVALID_PARAMETER},
        {"GetEnvironmentVariableW", ERROR_ENVVAR_NOT_FOUND},
        {"GetVersionExW", ERROR_INSUFFICIENT_BUFFER},
        {"RegOpenKeyExW", ERROR_ACCESS_DENIED},
        {"RegCreateKeyExW", ERROR_ACCESS_DENIED},
        {"RegQueryValueExW", ERROR_FILE_NOT_FOUND},  // the value was removed meanwhile
        {"RegSetValueExW", ERROR_KEY_DELETED},       // the key was deleted meanwhile
        {"RegCloseKey", ERROR_INVALID_HANDLE},
        {"GetFileVersionInfoSizeW", ERROR_SHARING_VIOLATION},
        {"GetFileVersionInfoW", ERROR_SHARING_VIOLATION},
        {"VerQueryValueW", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"LoadStringW", ERROR_RESOURCE_NAME_NOT_FOUND},
    };
    auto it = kErrors.find(function);
    return it == kErrors.end() ? 0 : it->second;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What a failed call changes, by the installer's rules.  index is the
// library (1, 2: the order of replacement) or the patch log line (1, 2, ...)
// it concerns.
enum class Kind {
    None,            // a fallback covers it, or nothing depends on it
    NotInstalled,    // the "VLSInstall" policy cannot be read: message 1180
    Dir64Unknown,    // the 64-bit InstallPath cannot be read: nothing changes, 1200 and 1121
    PackageBad,      // the package's library cannot be checked: nothing changes, 1200 and 1121
    NotUpdated,      // its copy's check or its backup failed: the library stays, 1200 and 1121
    NotCopied,       // its copy beside the installed one failed: the same, and no copy to delete
    NotMovedIn,      // its move into place failed: the same, restored from ".bak"
    NotVerified,     // it does not read the package's version in place: the same, restored from ".bak"
    RestoreFailed,   // the move back from ".bak" failed too: the ".bak" is copied back and stays
    NewLeft,         // the copy beside the library cannot be deleted: ".new" stays
    NoRecord,        // the record key cannot be created: nothing is recorded
    NoDescription,   // the record lacks "description"
    NoUpdated,       // the record lacks "updated"
    TextMissing,     // a message text cannot be loaded: its line has an empty text
    LogOpenFailed,   // the log cannot be opened: the line is dropped
    LogRefused,      // the opened log cannot be told from a link: the line is dropped
    LogMarkFailed,   // the byte-order mark of a new log cannot be written: the line is dropped
    LogSeekFailed,   // the log's end cannot be found: the line is dropped
    LogWriteFailed,  // the line cannot be written
    LogCloseFailed,  // the log stays open, without write sharing: the later lines cannot open it
};

struct Effect {
    Kind kind = Kind::None;
    int index = 0;
};

const char* kindName(Kind kind) {
    static const char* const kNames[] = {"no effect",
                                         "not installed",
                                         "64-bit directory unknown",
                                         "package unchecked",
                                         "library not updated",
                                         "copy failed",
                                         "move failed",
                                         "check in place failed",
                                         "restore failed",
                                         "copy left over",
                                         "no record",
                                         "no description",
                                         "no file list",
                                         "text missing",
                                         "log not opened",
                                         "log refused",
                                         "log mark not written",
                                         "log end not found",
                                         "log line not written",
                                         "log not closed"};
    static_assert(sizeof kNames / sizeof kNames[0] == static_cast<size_t>(Kind::LogCloseFailed) + 1,
                  "a name for every kind");
    return kNames[static_cast<int>(kind)];
}

// The library (1, 2) whose files a path names, 0 for none: the package's
// build, or a file in its installation directory.
int libraryOf(const std::string& path, bool bX64) {
    if (path.rfind(kDownloads, 0) == 0) return !bX64 || endsWith(path, "_x64.dll") ? 1 : 2;
    if (path.find(kLibrary) == std::string::npos) return 0;
    if (!bX64) return path.rfind(kDirX86, 0) == 0 ? 1 : 0;
    return path.rfind(kDir64, 0) == 0 ? 1 : path.rfind(kDir32, 0) == 0 ? 2 : 0;
}

// The file a call without a path works on: the file opened before it, or
// the file whose version the version.dll calls around it read.
std::string fileOf(const std::vector<Call>& trace, size_t i) {
    const std::string& f = trace[i].function;
    if (f == "LoadLibraryExW" || f == "GetProcAddress") {
        for (size_t k = i; k < trace.size(); ++k)
            if (trace[k].function == "GetFileVersionInfoSizeW") return trace[k].subject;
        return "";
    }
    const char* opener = f == "GetFileVersionInfoW" || f == "VerQueryValueW" || f == "FreeLibrary"
                             ? "GetFileVersionInfoSizeW"
                             : "CreateFileW";
    for (size_t k = i + 1; k-- > 0;)
        if (trace[k].function == opener) return trace[k].subject;
    return "";
}

// The step of the installer that call i of trace belongs to, and what its failure changes.
Effect classify(const std::vector<Call>& trace, size_t i, bool bX64) {
    std::string key, mask;
    int appends = 0, writesInAppend = 0, writesSeen = 0;
    bool logOpen = false;
    std::set<int> movedIn;            // libraries already moved into place
    for (size_t k = 0; k < i; ++k) {  // what came before call i
        const Call& c = trace[k];
        if (c.function == "RegOpenKeyExW" || c.function == "RegCreateKeyExW") {
            key = c.subject;
            mask = c.detail;
        } else if (c.function == "MoveFileExW" && endsWith(c.subject, ".new")) {
            movedIn.insert(libraryOf(c.subject, bX64));
        } else if (c.function == "CreateFileW" && endsWith(c.subject, kLogName)) {
            ++appends;
            logOpen = true;
            writesSeen = 0;
            writesInAppend = 0;
            for (size_t n = k + 1; n < trace.size() && trace[n].function != "CloseHandle"; ++n)
                writesInAppend += trace[n].function == "WriteFile";
        } else if (c.function == "WriteFile") {
            ++writesSeen;
        } else if (c.function == "CloseHandle") {
            logOpen = false;
        }
    }
    const Call& c = trace[i];
    const std::string& f = c.function;
    if (f == "RegOpenKeyExW" || f == "RegCreateKeyExW") {
        key = c.subject;
        mask = c.detail;
    }
    const bool keyCall = f == "RegOpenKeyExW" || f == "RegQueryValueExW";
    if (keyCall && key == kPolicyKey) return {Kind::NotInstalled, 0};
    // KEY_WOW64_64KEY on the product key: the 64-bit view's installation directory.
    if (keyCall && bX64 && key == kProductKey && (std::stoul(mask, nullptr, 16) & KEY_WOW64_64KEY))
        return {Kind::Dir64Unknown, 0};
    if (f == "RegCreateKeyExW" && key == kRecordKey) return {Kind::NoRecord, 0};
    if ((f == "RegOpenKeyExW" || f == "RegSetValueExW") && key == kRecordKey) {
        // An open of the record key is for the value that the next write sets.
        size_t set = i;
        while (set < trace.size() && trace[set].function != "RegSetValueExW") ++set;
        const std::string value = set < trace.size() ? trace[set].subject : "";
        if (value == "description") return {Kind::NoDescription, 0};
        if (value == "updated") return {Kind::NoUpdated, 0};
    }

    // The libraries: the package's file, the copy beside the installed one, the installed one.
    if (f == "MoveFileExW") {
        const Kind kind = endsWith(c.subject, ".bak")   ? Kind::RestoreFailed
                          : endsWith(c.subject, ".new") ? Kind::NotMovedIn
                                                        : Kind::NotUpdated;
        return {kind, libraryOf(c.subject, bX64)};
    }
    if (f == "CopyFileW") return {endsWith(c.detail, ".new") ? Kind::NotCopied : Kind::None, libraryOf(c.detail, bX64)};
    if (f == "DeleteFileW" && endsWith(c.subject, ".new")) return {Kind::NewLeft, libraryOf(c.subject, bX64)};
    const bool fileCall = f == "CreateFileW" || f == "GetFileSize" || f == "ReadFile" || f == "CloseHandle";
    const bool versionCall =
        (f == "LoadLibraryExW" && c.subject == "version.dll") ||
        (f == "GetProcAddress" && (c.subject.rfind("GetFileVersionInfo", 0) == 0 || c.subject == "VerQueryValueW")) ||
        f == "GetFileVersionInfoSizeW" || f == "GetFileVersionInfoW" || f == "VerQueryValueW";
    const std::string file =
        fileCall || versionCall ? (c.subject.find(":\\") != std::string::npos ? c.subject : fileOf(trace, i)) : "";
    const int library = libraryOf(file, bX64);
    // A library file's handle left open lets it be renamed: no effect.
    if (library && f != "CloseHandle") {
        if (file.rfind(kDownloads, 0) == 0) return {Kind::PackageBad, library};
        if (endsWith(file, ".new")) return {Kind::NotUpdated, library};
        // The installed library: read before its replacement it is compared (an unknown
        // version is replaced anyway); read after it, it must show the package's version.
        if (versionCall && movedIn.count(library)) return {Kind::NotVerified, library};
        return {Kind::None, 0};
    }

    if (f == "CreateFileW" && endsWith(c.subject, kLogName)) return {Kind::LogOpenFailed, appends + 1};
    if (f == "GetFileInformationByHandle") return {Kind::LogRefused, appends};
    if (f == "SetFilePointer") return {Kind::LogSeekFailed, appends};
    if (f == "WriteFile")
        return {writesInAppend == 2 && writesSeen == 0 ? Kind::LogMarkFailed : Kind::LogWriteFailed, appends};
    if (f == "CloseHandle" && logOpen) return {Kind::LogCloseFailed, appends};
    // The caption (1140) is not needed when silent; the text of 1121 is the line after the 1200 line.
    if (f == "LoadStringW" && c.subject != "1140") return {Kind::TextMissing, appends + (c.subject == "1121" ? 2 : 1)};
    return {Kind::None, 0};
}

bool has(const std::vector<Effect>& effects, Kind kind, int index = 0) {
    for (const Effect& e : effects)
        if (e.kind == kind && e.index == index) return true;
    return false;
}

// A file's expected content: absent when empty.
struct FileState {
    std::string lib, bak, fresh;  // fresh: the ".new" copy
};

struct Expected {
    std::map<std::string, FileState> dirs;  // installation directory -> its files
    bool record = false, description = false, updated = false;
    bool logExists = false;
    std::string log;
};

std::string utf16Line(const std::string& text) { return plxtext::utf16leBytes(plxtext::fromUtf8(text + "\r\n")); }

// The end state that the installer's rules prescribe for these failures.
Expected expectedState(bool bX64, const std::vector<Effect>& effects) {
    Expected e;
    struct Replacement {
        std::string source, dir;
    };
    std::vector<Replacement> replacements;
    if (bX64)
        replacements = {{packageFile("plxpwm_ie_com_x64.dll"), kDir64}, {packageFile(kLibrary), kDir32}};
    else
        replacements = {{packageFile(kLibrary), kDirX86}};
    for (const Replacement& r : replacements) e.dirs[r.dir].lib = standIn(kOldVersion, bX64 && r.dir == kDir64);

    struct Line {
        std::string text;
        bool failure;  // a "Failed to update file" line, not a message
    };
    std::vector<Line> lines;
    auto notUpdated = [&](const std::string& target) {
        lines.push_back({logLine(kMsgFailure, 1), false});
        lines.push_back({"Failed to update file " + target, true});
    };
    bool packageBad = false;
    for (size_t k = 0; k < replacements.size(); ++k)
        packageBad = packageBad || has(effects, Kind::PackageBad, static_cast<int>(k) + 1);
    if (has(effects, Kind::NotInstalled)) {
        lines.push_back({logLine(kMsgNotInstalled, 1), false});
    } else if (has(effects, Kind::Dir64Unknown)) {
        notUpdated(kLibrary);  // the 64-bit library's path is the bare name
    } else if (packageBad) {
        for (size_t k = 0; k < replacements.size(); ++k)
            if (has(effects, Kind::PackageBad, static_cast<int>(k) + 1)) notUpdated(replacements[k].dir + kLibrary);
    } else {
        bool allCopied = true;
        for (size_t k = 0; k < replacements.size(); ++k) {
            const int n = static_cast<int>(k) + 1;
            FileState& files = e.dirs[replacements[k].dir];
            if (has(effects, Kind::NewLeft, n) && !has(effects, Kind::NotCopied, n))
                files.fresh = replacements[k].source;
            if (!has(effects, Kind::NotUpdated, n) && !has(effects, Kind::NotCopied, n) &&
                !has(effects, Kind::NotMovedIn, n) && !has(effects, Kind::NotVerified, n)) {
                files.bak = files.lib;
                files.lib = replacements[k].source;
                continue;
            }
            allCopied = false;
            if (has(effects, Kind::RestoreFailed, n)) files.bak = files.lib;
            notUpdated(replacements[k].dir + kLibrary);
        }
        if (allCopied) {
            e.record = !has(effects, Kind::NoRecord);
            e.description = e.record && !has(effects, Kind::NoDescription);
            e.updated = e.record && !has(effects, Kind::NoUpdated);
            lines.push_back({logLine(kMsgRestart, 7), false});
        }
    }

    bool leftOpen = false;
    for (size_t k = 0; k < lines.size(); ++k) {
        const int n = static_cast<int>(k) + 1;
        std::string text = lines[k].text;
        if (has(effects, Kind::TextMissing, n)) text = lines[k].failure ? "" : text.substr(text.find(" User select: "));
        if (leftOpen || has(effects, Kind::LogOpenFailed, n)) continue;
        leftOpen = has(effects, Kind::LogCloseFailed, n);
        const bool fresh = !e.logExists;
        e.logExists = true;
        if (has(effects, Kind::LogRefused, n) || (!fresh && has(effects, Kind::LogSeekFailed, n))) continue;
        // A log without its mark gets one first (a new one, or one whose mark could not be written).
        if (e.log.empty()) {
            if (has(effects, Kind::LogMarkFailed, n)) continue;
            e.log = "\xFF\xFE";
        }
        if (!has(effects, Kind::LogWriteFailed, n)) e.log += utf16Line(text);
    }
    return e;
}

std::string describeEffects(const std::vector<Effect>& effects) {
    std::string text;
    for (const Effect& e : effects)
        text += std::string(text.empty() ? "" : " + ") + kindName(e.kind) +
                (e.index ? " (" + std::to_string(e.index) + ")" : "");
    return text;
}

// Where the run's end state differs from the expected one; empty when it does not.
std::vector<std::string> differences(HotfixMachine& m, const HotfixRun& run, const Expected& e) {
    std::vector<std::string> out;
    if (run.exitCode != 0) out.push_back("exit code " + std::to_string(run.exitCode) + ": " + run.output);
    const std::string old32 = standIn(kOldVersion, false), old64 = standIn(kOldVersion, true);
    for (const auto& dir : e.dirs) {
        const bool x64Build = m.x64() && dir.first == kDir64;
        const std::string lib = dir.first + kLibrary, bak = lib + ".bak";
        std::string bytes = m.exists(lib) ? m.readFile(lib) : "";
        // Whatever else happened, the product keeps a whole, working library under its own name.
        if (bytes != (x64Build ? old64 : old32) && bytes != packageFile(x64Build ? "plxpwm_ie_com_x64.dll" : kLibrary))
            out.push_back("no working library in " + dir.first + " (" + std::to_string(bytes.size()) + " bytes)");
        else if (bytes != dir.second.lib)
            out.push_back("the other library than expected in " + dir.first);
        for (const auto& other :
             {std::make_pair(bak, dir.second.bak), std::make_pair(lib + ".new", dir.second.fresh)}) {
            std::string bytes = m.exists(other.first) ? m.readFile(other.first) : "";
            if (bytes != other.second)
                out.push_back(std::string(other.second.empty() ? "unexpected " : "missing or wrong ") + other.first);
        }
    }
    if (regKeyExists(kRecordKey, KEY_WOW64_32KEY) != e.record)
        out.push_back(e.record ? "no patch record" : "a patch record although the patch failed");
    std::string description;
    if (readRegString(kRecordKey, "description", description, KEY_WOW64_32KEY) != e.description ||
        (e.description && description != kDescription))
        out.push_back("record description: \"" + description + "\"");
    std::vector<std::string> updated;
    if (readRegMultiString(kRecordKey, "updated", updated, KEY_WOW64_32KEY) != e.updated ||
        (e.updated && updated != std::vector<std::string>{kLibrary}))
        out.push_back("record file list wrong");
    const std::string logPath = std::string(m.x64() ? kDir32 : kDirX86) + kLogName;
    if (m.exists(logPath) != e.logExists)
        out.push_back(e.logExists ? "no patch log" : "a patch log");
    else if (e.logExists && m.readFile(logPath) != e.log)
        out.push_back("patch log differs: " + std::to_string(m.readFile(logPath).size()) + " bytes, " +
                      std::to_string(e.log.size()) + " expected");
    if (!m.boxes().empty() || !m.restarts().empty())
        out.push_back("a box or a restart in a silent run: " + m.screenLog());
    return out;
}

std::string faultLine(const Call& c) {
    return c.function + "=" + std::to_string(c.occurrence) + ":" + std::to_string(errorFor(c.function));
}

struct Tally {
    int injected = 0, survived = 0;
    std::map<std::string, int> byEffect;

    std::string effects() const {
        std::string text;
        for (const auto& entry : byEffect)
            text += (text.empty() ? "" : ", ") + entry.first + " " + std::to_string(entry.second);
        return text;
    }
};

class FaultSweep : public ::testing::TestWithParam<bool> {
protected:
    bool x64() const { return GetParam(); }

    // A fresh demo computer with these [Faults] lines, run silently.
    HotfixRun runDemo(HotfixMachine& m, const std::string& faults) {
        m.windows("6.1", x64()).product(kOldVersion).package().faults("Count=1\n" + faults);
        if (x64())
            m.installed(kDir32, kOldVersion, false).installed(kDir64, kOldVersion, true);
        else
            m.installed(kDirX86, kOldVersion, false);
        m.create();
        return m.run("/s");
    }

    // One run with the faults; its calls.  Counts it and reports a wrong end state.
    std::vector<Call> check(const std::vector<Call>& failed, const std::vector<Effect>& effects, Tally& tally) {
        std::string faults, what;
        for (const Call& c : failed) {
            faults += faultLine(c) + "\n";
            what += (what.empty() ? "" : " and ") + c.function + " #" + std::to_string(c.occurrence) + " (" +
                    c.subject + ")";
        }
        HotfixMachine m;
        HotfixRun run = runDemo(m, faults);
        std::vector<std::string> wrong = differences(m, run, expectedState(x64(), effects));
        ++tally.injected;
        tally.survived += wrong.empty();
        ++tally.byEffect[kindName(effects.back().kind)];
        std::string list;
        for (const std::string& w : wrong) list += "\n  " + w;
        EXPECT_TRUE(wrong.empty()) << what << " failed, so " << describeEffects(effects) << ":" << list;
        return parseCalls(m.callLog());
    }
};

TEST_P(FaultSweep, EveryCallOfASilentRunMayFail) {
    MemoryTempDir memory;
    HotfixMachine clean;
    HotfixRun run = runDemo(clean, "");
    ASSERT_EQ(differences(clean, run, expectedState(x64(), {})), std::vector<std::string>{});
    const std::vector<Call> trace = parseCalls(clean.callLog());
    ASSERT_GT(trace.size(), 100u) << clean.callLog();

    Tally single, paired;
    std::set<std::string> unknown;
    for (size_t i = 0; i < trace.size(); ++i) {
        if (!errorFor(trace[i].function)) {
            unknown.insert(trace[i].function);
            continue;
        }
        const Effect first = classify(trace, i, x64());
        const std::vector<Call> faulted = check({trace[i]}, {first}, single);
        // Each way a replacement fails has a recovery of its own: one failure of each is paired.
        const bool recovers = first.kind == Kind::NotCopied || first.kind == Kind::NotMovedIn ||
                              (first.kind == Kind::NotVerified && trace[i].function == "GetFileVersionInfoSizeW");
        if (!recovers) continue;
        // Everything the installer does after the failed replacement may fail as well.
        size_t at = 0;
        while (at < faulted.size() && !faulted[at].error) ++at;
        for (size_t j = at + 1; j < faulted.size(); ++j) {
            if (errorFor(faulted[j].function))
                check({trace[i], faulted[j]}, {first, classify(faulted, j, x64())}, paired);
        }
    }
    EXPECT_TRUE(unknown.empty()) << "calls without an error to fail them with: " << *unknown.begin();
    std::printf(
        "[ sweep    ] %s computer: %zu calls; %d single faults injected, %d survived (%s); "
        "%d paired with a failed replacement injected, %d survived (%s)\n",
        x64() ? "x64" : "x86", trace.size(), single.injected, single.survived, single.effects().c_str(),
        paired.injected, paired.survived, paired.effects().c_str());
}

INSTANTIATE_TEST_SUITE_P(Demo, FaultSweep, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "X64" : "X86"; });
}  // namespace
