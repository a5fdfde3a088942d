// Every platform call of a silent, successful run on the demo computers
// ended in turn as a power loss would end it (machine.ini [Faults] "n:kill":
// the call has no effect and nothing after it runs; a copy also left cut
// short, "n:cut"), with the installed libraries free and loaded by a running
// browser.  Then the installer runs once more.  No end may leave a library cut
// short under its name, and the second run must leave the computer fully
// patched: each library at the package's version, each original as ".bak",
// nothing left over, the record written.
#include "hotfix_machine.h"
#include "sweep_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

namespace {
const char* const kOldVersion = "8.30.20.0";
const char* const kLibrary = "plxpwm_ie_com.dll";
const std::string kRecordKey = "Software\\Orvane\\Vaultline Security Suite\\Patch\\8106";
const int kKilledExitCode = 128 + 9;  // SIGKILL

// An installation directory and the build installed there.
struct Folder {
    std::string dir;
    bool b64;
};

class CrashSweep : public ::testing::TestWithParam<std::tuple<bool, bool>> {
protected:
    bool x64() const { return std::get<0>(GetParam()); }
    bool loaded() const { return std::get<1>(GetParam()); }

    std::vector<Folder> folders() const {
        if (x64()) return {{kDir32, false}, {kDir64, true}};
        return {{kDirX86, false}};
    }

    // A fresh demo computer with these [Faults] lines.
    void create(HotfixMachine& m, const std::string& faults) {
        m.windows("6.1", x64()).product(kOldVersion).package().faults(faults).loadedByBrowser(loaded());
        for (const Folder& f : folders()) m.installed(f.dir, kOldVersion, f.b64);
        m.create();
    }

    // Under each library's name: nothing, the original or the package's build, never a part of one.
    std::vector<std::string> cutLibraries(HotfixMachine& m) const {
        std::vector<std::string> wrong;
        for (const Folder& f : folders()) {
            const std::string path = f.dir + kLibrary;
            if (!m.exists(path)) continue;
            const std::string bytes = m.readFile(path);
            if (bytes != standIn(kOldVersion, f.b64) &&
                bytes != packageFile(f.b64 ? "plxpwm_ie_com_x64.dll" : kLibrary))
                wrong.push_back(path + " holds " + std::to_string(bytes.size()) + " bytes of neither library");
        }
        return wrong;
    }

    // What keeps the computer from being fully patched.
    std::vector<std::string> unpatched(HotfixMachine& m) const {
        std::vector<std::string> wrong;
        for (const Folder& f : folders()) {
            const std::string path = f.dir + kLibrary;
            if (!m.exists(path) || m.readFile(path) != packageFile(f.b64 ? "plxpwm_ie_com_x64.dll" : kLibrary))
                wrong.push_back(path + " is not the package's build");
            if (!m.exists(path + ".bak") || m.readFile(path + ".bak") != standIn(kOldVersion, f.b64))
                wrong.push_back(path + ".bak is not the original");
            if (m.exists(path + ".new")) wrong.push_back(path + ".new is left over");
        }
        std::string description;
        std::vector<std::string> updated;
        if (!readRegString(kRecordKey, "description", description, KEY_WOW64_32KEY) ||
            description != "Resolve null pointer result in IE crash." ||
            !readRegMultiString(kRecordKey, "updated", updated, KEY_WOW64_32KEY) ||
            updated != std::vector<std::string>{kLibrary})
            wrong.push_back("the record is not whole");
        return wrong;
    }
};

std::string lines(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& line : list) text += "\n  " + line;
    return text;
}

TEST_P(CrashSweep, EveryCallMayBeTheLast) {
    MemoryTempDir memory;
    HotfixMachine clean;
    create(clean, "Count=1");
    clean.run("/s");
    ASSERT_EQ(unpatched(clean), std::vector<std::string>{});
    const std::vector<Call> trace = parseCalls(clean.callLog());
    ASSERT_GT(trace.size(), 100u) << clean.callLog();

    int ends = 0, cuts = 0, cutUnderName = 0, leftUnpatched = 0;
    for (const Call& call : trace) {
        for (const char* how : {"kill", "cut"}) {
            if (std::string(how) == "cut" && call.function != "CopyFileW") continue;
            const std::string fault = call.function + "=" + std::to_string(call.occurrence) + ":" + how;
            HotfixMachine m;
            create(m, fault);
            const HotfixRun first = m.run("/s");
            ++ends;
            cuts += std::string(how) == "cut";
            EXPECT_EQ(first.exitCode, kKilledExitCode) << fault << " (" << call.subject << "): " << first.output;
            const std::vector<std::string> cut = cutLibraries(m);
            cutUnderName += !cut.empty();
            EXPECT_TRUE(cut.empty()) << fault << " (" << call.subject << ") ended the run, leaving" << lines(cut);

            m.faultsNow("Count=0");  // no faults, and no end state kept for another platform
            const HotfixRun second = m.run("/s");
            EXPECT_EQ(second.exitCode, 0) << second.output;
            const std::vector<std::string> wrong = unpatched(m);
            leftUnpatched += !wrong.empty();
            EXPECT_TRUE(wrong.empty()) << fault << " (" << call.subject << ") ended the first run; after the second"
                                       << lines(wrong);
        }
    }
    std::printf(
        "[ sweep    ] crash, %s computer, libraries %s: %zu calls; %d runs ended (%d in a copy cut short); "
        "%d left a cut library under its name; %d not fully patched after one more run\n",
        x64() ? "x64" : "x86", loaded() ? "loaded" : "free", trace.size(), ends, cuts, cutUnderName, leftUnpatched);
}

INSTANTIATE_TEST_SUITE_P(Demo, CrashSweep, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<bool, bool>>& info) {
                             return std::string(std::get<0>(info.param) ? "X64" : "X86") +
                                    (std::get<1>(info.param) ? "_Loaded" : "_Free");
                         });
}  // namespace
