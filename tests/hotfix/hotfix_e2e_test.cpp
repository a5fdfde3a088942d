// The installer run as a process on x64 and x86 computers, simulated ones
// and (the shipped program) under Wine: what the user sees, what it changes
// on disk and in the registry, and the patch log byte for byte.
#include "hotfix_machine.h"
#include "plx_scoped_handle.h"
#include "plx_test_text.h"

#include <gtest/gtest.h>

namespace {
const std::string kProductKey = "SOFTWARE\\Orvane\\Vaultline Security Suite";
const std::string kLegacyKey = "SOFTWARE\\Meridal Stillharbour\\Vaultline Security Software";
const char* const kLibrary = "plxpwm_ie_com.dll";
const char* const kLogName = "patchlog8106.txt";
const char* const kOldVersion = "8.30.20.0";

std::string at(const std::string& dir, const char* name) { return dir + name; }

// Windows 6.1 x64 with product 8.30.20.0 and older libraries in both directories.
void demoMachine(HotfixMachine& m) {
    m.windows("6.1", true)
        .product(kOldVersion)
        .installed(kDir32, kOldVersion, false)
        .installed(kDir64, kOldVersion, true)
        .package();
}

// Windows x86 (6.1 unless said) with product version and an installed library of libVersion ("" for none).
void machine32(HotfixMachine& m, const std::string& productVersion, const std::string& libVersion,
               const std::string& windowsVersion = "6.1") {
    m.windows(windowsVersion, false).product(productVersion).package();
    if (!libVersion.empty()) m.installed(kDirX86, libVersion, false);
}

void expectRecord(HotfixMachine& m, const std::string& productKey) {
    const std::string key = productKey + "\\Patch\\8106";
    std::string description;
    EXPECT_TRUE(readRegString(key, "description", description, KEY_WOW64_32KEY));
    EXPECT_EQ(description, "Resolve null pointer result in IE crash.");
    std::vector<std::string> updated;
    EXPECT_TRUE(readRegMultiString(key, "updated", updated, KEY_WOW64_32KEY));
    EXPECT_EQ(updated, std::vector<std::string>{kLibrary});
    // Nothing in the 64-bit view: the record lies beside the location it was derived from.
    if (m.x64()) {
        EXPECT_FALSE(regKeyExists(key, KEY_WOW64_64KEY));
    }
}

void expectNoRecord() {
    EXPECT_FALSE(regKeyExists(kProductKey + "\\Patch\\8106", KEY_WOW64_32KEY));
    EXPECT_FALSE(regKeyExists(kLegacyKey + "\\Patch\\8106", KEY_WOW64_32KEY));
}

// The installed library of dir is still the stand-in of version, with no ".bak" beside it.
void expectUntouched(HotfixMachine& m, const std::string& dir, const std::string& version, bool bX64Build) {
    EXPECT_EQ(m.readFile(at(dir, kLibrary)), standIn(version, bX64Build)) << dir;
    EXPECT_FALSE(m.exists(at(dir, "plxpwm_ie_com.dll.bak"))) << dir;
}

// A refusal: one OK box with text, the same in the patch log of logDir, nothing else changed.
void expectRefusal(HotfixMachine& m, const HotfixRun& run, const char* text, const std::string& logDir) {
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(text, "OK", "IDOK")});
    EXPECT_EQ(m.readFile(at(logDir, kLogName)), patchLogBytes({logLine(text, 1)}));
    expectNoRecord();
    EXPECT_TRUE(m.restarts().empty());
}
}  // namespace

// ------------------------------------------------------------------ success

TEST_F(HotfixX64, Success64ReplacesBothLibrariesRecordsAndAsks) {
    HotfixMachine m;
    demoMachine(m);
    m.answers("no").create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;

    EXPECT_EQ(m.readFile(at(kDir64, kLibrary)), packageFile("plxpwm_ie_com_x64.dll"));
    EXPECT_EQ(m.readFile(at(kDir64, "plxpwm_ie_com.dll.bak")), standIn(kOldVersion, true));
    EXPECT_EQ(m.readFile(at(kDir32, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    EXPECT_EQ(m.readFile(at(kDir32, "plxpwm_ie_com.dll.bak")), standIn(kOldVersion, false));
    expectRecord(m, kProductKey);

    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO")});
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)), patchLogBytes({logLine(kMsgRestart, 7)}));
    EXPECT_FALSE(m.exists(at(kDir64, kLogName)));
    EXPECT_TRUE(m.restarts().empty());
}

TEST_F(HotfixX86, Success32ReplacesTheLibrary) {
    HotfixMachine m;
    machine32(m, "8.30.33.0", "8.30.33.0");
    m.answers("no").create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;

    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    EXPECT_EQ(m.readFile(at(kDirX86, "plxpwm_ie_com.dll.bak")), standIn("8.30.33.0", false));
    expectRecord(m, kProductKey);
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO")});
    EXPECT_EQ(m.readFile(at(kDirX86, kLogName)), patchLogBytes({logLine(kMsgRestart, 7)}));
}

TEST_F(HotfixX86, MissingInstalledLibraryIsCopiedIn) {
    HotfixMachine m;
    machine32(m, kOldVersion, "");
    m.file(at(kDirX86, "vaultline.exe"), "MZ").answers("no").create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    EXPECT_FALSE(m.exists(at(kDirX86, "plxpwm_ie_com.dll.bak")));
    expectRecord(m, kProductKey);
}

TEST_F(HotfixX86, ExistingBakFileIsReplaced) {
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion);
    m.file(at(kDirX86, "plxpwm_ie_com.dll.bak"), "an older backup").answers("no").create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, "plxpwm_ie_com.dll.bak")), standIn(kOldVersion, false));
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
}

TEST_F(HotfixX64, SecondRunFindsTheLibraryCurrentAndAppendsToTheLog) {
    HotfixMachine m;
    demoMachine(m);
    m.answers("no").create();
    m.run();
    m.answersNow("ok");
    HotfixRun second = m.run();
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(m.boxes(),
              (std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO"), box(kMsgAlreadyInstalled, "OK", "IDOK")}));
    // One byte-order mark; the second run's line follows the first.
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)),
              patchLogBytes({logLine(kMsgRestart, 7), logLine(kMsgAlreadyInstalled, 1)}));
    // The backups still hold the libraries replaced by the first run.
    EXPECT_EQ(m.readFile(at(kDir64, "plxpwm_ie_com.dll.bak")), standIn(kOldVersion, true));
}

TEST_F(HotfixX86, LogWithoutByteOrderMarkGetsNone) {
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.33.1");
    m.file(at(kDirX86, kLogName), patchLogBytes({"earlier"}, false)).answers("ok").create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, kLogName)), patchLogBytes({"earlier", logLine(kMsgAlreadyInstalled, 1)}, false));
}

// ------------------------------------------------------------------ restart question

TEST_F(HotfixX64, YesToTheRestartQuestionRestartsWindows) {
    HotfixMachine m;
    demoMachine(m);
    m.answers("yes").create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDYES")});
    // A restart, asked after the record and the log line.
    EXPECT_EQ(m.restarts(), std::vector<std::string>{"reboot"}) << m.screenLog();
    if (PLX_SIMULATED_MACHINE) {
        // Forcing hung programs to close (Wine's restart shows no flags).
        EXPECT_NE(m.screenLog().find("ExitWindowsEx flags=0x12 reboot"), std::string::npos) << m.screenLog();
    }
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)), patchLogBytes({logLine(kMsgRestart, 6)}));
    expectRecord(m, kProductKey);
}

// ------------------------------------------------------------------ installed library versions

TEST_F(HotfixX86, SameLibraryVersionIsAlreadyInstalled) {
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.33.1");
    m.answers("ok").create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgAlreadyInstalled, "OK", "IDOK")});
    EXPECT_EQ(m.readFile(at(kDirX86, kLogName)), patchLogBytes({logLine(kMsgAlreadyInstalled, 1)}));
    expectUntouched(m, kDirX86, "8.30.33.1", false);
    // The record that a run stopped before it would have written.
    expectRecord(m, kProductKey);
}

TEST_F(HotfixX86, NewerLibraryIsRefused) {
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.34.0");
    m.answers("ok").create();
    expectRefusal(m, m.run(), kMsgVersionMismatch, kDirX86);
    expectUntouched(m, kDirX86, "8.30.34.0", false);
}

TEST_F(HotfixX64, Newer64BitLibraryLeavesThe32BitOneAlone) {
    HotfixMachine m;
    m.windows("6.1", true)
        .product(kOldVersion)
        .installed(kDir32, kOldVersion, false)
        .installed(kDir64, "8.30.34.0", true)
        .package()
        .answers("ok")
        .create();
    expectRefusal(m, m.run(), kMsgVersionMismatch, kDir32);
    expectUntouched(m, kDir64, "8.30.34.0", true);
    expectUntouched(m, kDir32, kOldVersion, false);
}

TEST_F(HotfixX86, InstalledLibraryWithoutVersionIsReplaced) {
    HotfixMachine m;
    machine32(m, kOldVersion, "0.0.0.0");
    m.answers("no").create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    expectRecord(m, kProductKey);
}

// ------------------------------------------------------------------ product detection

TEST_F(HotfixX64, ProductAbsentWritesTheLogToTheCurrentDirectory) {
    HotfixMachine m;
    m.windows("6.1", true).package().file("C:\\Users\\Public\\Documents\\keep.txt", "x").answers("ok").create();
    expectRefusal(m, m.run("", "C:\\Users\\Public\\Documents"), kMsgNotInstalled, "C:\\Users\\Public\\Documents\\");
    EXPECT_FALSE(m.exists(std::string(kDownloads) + kLogName));
}

TEST_F(HotfixX86, ProductAbsentOnOtherWindowsIsStillNotInstalled) {
    HotfixMachine m;
    m.windows("5.1", false).package().answers("ok").create();
    expectRefusal(m, m.run(), kMsgNotInstalled, kDownloads);
}

TEST_F(HotfixX86, LegacyKeyOnlyIsPatchedAndRecordedThere) {
    HotfixMachine m;
    m.windows("6.1", false)
        .reg(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Meridal Stillharbour\\Vaultline Security Software]\n"
            "\"Version\"=\"8.30.20.0\"\n\"InstallPath\"=\"C:\\\\Program Files\\\\Orvane\\\\Vaultline Security "
            "Suite\\\\\"\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security Suite]\n"
            "\"VLSInstall\"=dword:00000001\n")
        .installed(kDirX86, kOldVersion, false)
        .package()
        .answers("no")
        .create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    expectRecord(m, kLegacyKey);
    EXPECT_FALSE(regKeyExists(kProductKey, KEY_WOW64_32KEY));
}

TEST_F(HotfixX64, Version8WithoutVLSInstallIsNotInstalled) {
    HotfixMachine m;
    m.windows("6.1", true).product(kOldVersion, false).installed(kDir32, kOldVersion, false).package();
    m.installed(kDir64, kOldVersion, true).answers("ok").create();
    // The product directory is known, so the log lands there.
    expectRefusal(m, m.run(), kMsgNotInstalled, kDir32);
    expectUntouched(m, kDir32, kOldVersion, false);
}

TEST_F(HotfixX86, VLSInstallZeroIsNotInstalled) {
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion);
    m.reg(
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security Suite]\n"
         "\"VLSInstall\"=dword:00000000\n")
        .answers("ok")
        .create();
    expectRefusal(m, m.run(), kMsgNotInstalled, kDirX86);
}

TEST_F(HotfixX86, Version6NeedsNoPolicyButIsNotPatched) {
    HotfixMachine m;
    m.windows("6.1", false).product("6.5.0.0", false).installed(kDirX86, kOldVersion, false).package();
    m.answers("ok").create();
    expectRefusal(m, m.run(), kMsgVersionMismatch, kDirX86);
}

// ------------------------------------------------------------------ installation directory unknown

// The product is found ("Version" is readable) but the product lookup finds
// no installation directory: nothing is compared or copied (a bare library
// name would name a file of the current directory), nothing is recorded and
// the failure is shown; its log line lands in the current directory.
namespace {
void expectNothingDoneWithoutDirectory(HotfixMachine& m) {
    const std::string documents = "C:\\Users\\Public\\Documents\\";
    m.package().file(documents + "keep.txt", "x").answers("ok,ok").create();
    HotfixRun run = m.run("", documents);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgFailure, "OK", "IDOK")});
    EXPECT_EQ(m.readFile(at(documents, kLogName)), patchLogBytes({logLine(kMsgFailure, 1)}));
    EXPECT_FALSE(m.exists(at(documents, kLibrary)));
    expectNoRecord();
    EXPECT_TRUE(m.restarts().empty());
}
}  // namespace

TEST_F(HotfixX86, NoInstallPathAnywhereCopiesNothing) {
    HotfixMachine m;
    m.windows("6.1", false)
        .reg(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"Version\"=\"8.30.20.0\"\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security Suite]\n"
            "\"VLSInstall\"=dword:00000001\n");
    expectNothingDoneWithoutDirectory(m);
}

TEST_F(HotfixX64, EmptyInstallPathCopiesNothingEvenWithA64BitDirectory) {
    HotfixMachine m;
    m.windows("6.1", true)
        .reg(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\Vaultline Security Suite]\n"
            "\"Version\"=\"8.30.20.0\"\n\"InstallPath\"=\"\"\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\PLX Common\\Vaultline Security Suite]\n"
            "\"VLSInstall\"=dword:00000001\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n"
            "\"InstallPath\"=\"C:\\\\Program Files\\\\Orvane\\\\Vaultline Security Suite\\\\\"\n")
        .installed(kDir64, kOldVersion, true);
    expectNothingDoneWithoutDirectory(m);
    expectUntouched(m, kDir64, kOldVersion, true);
}

// ------------------------------------------------------------------ patch record check

TEST_F(HotfixX86, Patch8100RecordedIsRefusedBeforeAnyFile) {
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion);
    m.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite\\Patch\\8100]\n").answers("ok").create();
    expectRefusal(m, m.run(), kMsgAlreadyInstalled, kDirX86);
    expectUntouched(m, kDirX86, kOldVersion, false);
}

TEST_F(HotfixX86, Patch8106OnlyDoesNotStopThePatch) {
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion);
    m.reg(
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite\\Patch\\8106]\n"
         "\"description\"=\"old\"\n")
        .answers("no")
        .create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    expectRecord(m, kProductKey);  // overwritten
}

// ------------------------------------------------------------------ Windows version

class HotfixX86OtherWindows : public HotfixX86, public ::testing::WithParamInterface<const char*> {};

TEST_P(HotfixX86OtherWindows, IsRefusedWithTheSystemMessage) {
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion, GetParam());
    m.answers("ok").create();
    expectRefusal(m, m.run(), kMsgOsMismatch, kDirX86);
    expectUntouched(m, kDirX86, kOldVersion, false);
}

INSTANTIATE_TEST_SUITE_P(Versions, HotfixX86OtherWindows, ::testing::Values("6.0", "5.1", "6.2", "10.0"));

// ------------------------------------------------------------------ product version gate

struct VersionCase {
    const char* version;
    bool bPatched;
};

class HotfixX86ProductVersion : public HotfixX86, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(HotfixX86ProductVersion, GatesThePatch) {
    HotfixMachine m;
    machine32(m, GetParam().version, kOldVersion);
    m.answers(GetParam().bPatched ? "no" : "ok").create();
    HotfixRun run = m.run();
    if (GetParam().bPatched) {
        EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO")});
        expectRecord(m, kProductKey);
    } else {
        expectRefusal(m, run, kMsgVersionMismatch, kDirX86);
        expectUntouched(m, kDirX86, kOldVersion, false);
    }
}

// A version that does not have three decimal parts is never patched.
INSTANTIATE_TEST_SUITE_P(Versions, HotfixX86ProductVersion,
                         ::testing::Values(VersionCase{"8.30.33.0", true}, VersionCase{"8.30.0.0", true},
                                           VersionCase{"8.30.34.0", false}, VersionCase{"8.31.0.0", false},
                                           VersionCase{"8.29.20.0", false}, VersionCase{"8.30", false},
                                           VersionCase{"8.30.x.0", false}, VersionCase{"8.30.-1.0", false},
                                           VersionCase{"8..30.1", false}, VersionCase{"8.30.4294967296", false}));

// ------------------------------------------------------------------ silent mode

class HotfixX64Silent : public HotfixX64, public ::testing::WithParamInterface<const char*> {};

TEST_P(HotfixX64Silent, ShowsNoBoxAndLogsTheDefaultAnswers) {
    HotfixMachine m;
    demoMachine(m);
    m.answers("yes,yes").create();
    HotfixRun run = m.run(GetParam());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(m.boxes().empty()) << m.screenLog();
    EXPECT_TRUE(m.restarts().empty());
    expectRecord(m, kProductKey);
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)), patchLogBytes({logLine(kMsgRestart, 7)}));

    // A refusal in silent mode is logged with the answer 1.
    m.run(GetParam());
    EXPECT_TRUE(m.boxes().empty());
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)),
              patchLogBytes({logLine(kMsgRestart, 7), logLine(kMsgAlreadyInstalled, 1)}));
}

INSTANTIATE_TEST_SUITE_P(Switches, HotfixX64Silent, ::testing::Values("/s", "/S", "-s", "-S", "other /quiet-S"));

TEST_F(HotfixX64, OtherArgumentsAreIgnored) {
    HotfixMachine m;
    demoMachine(m);
    m.answers("no").create();
    m.run("/q /x --help");
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO")});
}

// ------------------------------------------------------------------ diagnostic log

TEST_F(HotfixX64, DiagnosticLogIsWrittenWhereTheLoggingValuesSay) {
    // Switched on in the program's own (32-bit) view, with every level and traces.
    const char* const kDiagnosticLog = "C:\\ProgramData\\Orvane\\plxhotfix.log";
    HotfixMachine m;
    demoMachine(m);
    m.reg(
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\Logs]\n\"Logging\"=dword:00000001\n"
         "\"LogDetail\"=dword:0000ffff\n\"DynamicLogging\"=dword:00000001\n"
         "\"TextOutput\"=\"C:\\\\ProgramData\\\\Orvane\\\\plxhotfix.log\"\n")
        .create();
    EXPECT_FALSE(m.exists(kDiagnosticLog));
    m.run("/s");
    expectRecord(m, kProductKey);
    // A UTF-16 text file whose lines name the library's classes at work.
    const std::string log = m.readFile(kDiagnosticLog);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.substr(0, 2), std::string("\xFF\xFE", 2));
    std::string text;
    for (size_t i = 2; i < log.size(); i += 2) text += log[i];
    EXPECT_NE(text.find("CPLXProduct_VLS"), std::string::npos) << text.substr(0, 400);
}

// ------------------------------------------------------------------ failures

TEST_F(HotfixX64, StandardUserChangesNothing) {
    HotfixMachine m;
    demoMachine(m);
    m.standardUser();
    std::string reason;
    if (!HotfixHost::canModel(m.settings(), reason)) GTEST_SKIP() << reason;
    m.answers("ok,ok").create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // Both copies are refused and reported; no record, no restart question.
    EXPECT_EQ(m.boxes(), (std::vector<std::string>{box(kMsgFailure, "OK", "IDOK"), box(kMsgFailure, "OK", "IDOK")}));
    expectUntouched(m, kDir64, kOldVersion, true);
    expectUntouched(m, kDir32, kOldVersion, false);
    expectNoRecord();
    // The log cannot be written either: its lines are dropped.
    EXPECT_FALSE(m.exists(at(kDir32, kLogName)));
}

TEST_F(HotfixX64, PackageWithoutLibrariesChangesNothing) {
    HotfixMachine m;
    m.windows("6.1", true)
        .product(kOldVersion)
        .installed(kDir32, kOldVersion, false)
        .installed(kDir64, kOldVersion, true)
        .package(false)
        .answers("ok,ok")
        .create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.boxes(), (std::vector<std::string>{box(kMsgFailure, "OK", "IDOK"), box(kMsgFailure, "OK", "IDOK")}));
    // Both are found missing before anything changes.
    expectUntouched(m, kDir64, kOldVersion, true);
    expectUntouched(m, kDir32, kOldVersion, false);
    expectNoRecord();
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)),
              patchLogBytes({logLine(kMsgFailure, 1), std::string("Failed to update file ") + kDir64 + kLibrary,
                             logLine(kMsgFailure, 1), std::string("Failed to update file ") + kDir32 + kLibrary}));
}

TEST_F(HotfixX86, BoxThatCannotBeShownIsLoggedWithAnswerZero) {
    if (plxIsWine()) GTEST_SKIP() << "Wine's MessageBoxW returns -1 when it cannot show a box, where Windows returns 0";
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.33.1");
    m.create();  // no answers and no terminal
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.readFile(at(kDirX86, kLogName)), patchLogBytes({logLine(kMsgAlreadyInstalled, 0)}));
}

// ------------------------------------------------------------------ what a run must not do

namespace {
// A stand-in whose resource directory is gone: a whole library without a version.
std::string withoutVersionResource(std::string bytes) {
    auto dword = [&](size_t at) {
        return static_cast<size_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    const size_t optional = dword(0x3C) + 24;
    const bool b64 = bytes[optional + 1] == 2;  // magic 0x20b
    bytes.replace(optional + (b64 ? 112 : 96) + 2 * 8, 8, 8, '\0');
    return bytes;
}

const char* const kBak = "plxpwm_ie_com.dll.bak";

// The demo computer (x64) or its x86 twin with the installed libraries free
// or loaded by a running browser, as a table row prepares it; false, with
// the reason, where the Windows host cannot model it.
template <class Case>
bool tableMachine(HotfixMachine& m, const Case& c, bool bLoaded, std::string& reason) {
    m.windows("6.1", c.bX64).loadedByBrowser(bLoaded);
    if (!HotfixHost::canModel(m.settings(), reason)) return false;
    if (c.bX64)
        demoMachine(m);
    else
        machine32(m, kOldVersion, kOldVersion);
    c.prepare(m);
    return true;
}

template <class Case>
std::string freeOrLoaded(const ::testing::TestParamInfo<std::tuple<Case, bool>>& info) {
    return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_Loaded" : "_Free");
}

// A computer that a package or a registration keeps from being patched.
struct RefusedCase {
    const char* name;
    bool bX64;
    void (*prepare)(HotfixMachine& m);  // on the demo computer (x64) or its x86 twin
    const char* failedTarget;           // the library the 1121 line names
};

const RefusedCase kRefusedCases[] = {
    {"CutLibrary", true,
     [](HotfixMachine& m) {
         m.file(std::string(kDownloads) + "plxpwm_ie_com_x64.dll",
                packageFile("plxpwm_ie_com_x64.dll").substr(0, 1000));
     },
     "C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
    {"EmptyLibrary", true, [](HotfixMachine& m) { m.file(std::string(kDownloads) + "plxpwm_ie_com.dll", ""); },
     "C:\\Program Files (x86)\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
    {"WebPageUnderTheLibraryName", false,
     [](HotfixMachine& m) {
         m.file(std::string(kDownloads) + "plxpwm_ie_com.dll", "<!DOCTYPE html><html><body>Not found</body></html>");
     },
     "C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
    {"LibraryWithoutVersion", false,
     [](HotfixMachine& m) {
         m.file(std::string(kDownloads) + "plxpwm_ie_com.dll",
                withoutVersionResource(packageFile("plxpwm_ie_com.dll")));
     },
     "C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
    {"LibraryOfVersionZero", true,
     [](HotfixMachine& m) { m.file(std::string(kDownloads) + "plxpwm_ie_com_x64.dll", standIn("0.0.0.0", true)); },
     "C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
    {"X86BuildUnderTheX64Name", true,
     [](HotfixMachine& m) {
         m.file(std::string(kDownloads) + "plxpwm_ie_com_x64.dll", packageFile("plxpwm_ie_com.dll"));
     },
     "C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
    // The 64-bit build would otherwise land on the 32-bit library.
    {"No64BitInstallPath", true,
     [](HotfixMachine& m) {
         m.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"InstallPath\"=-\n");
     },
     "plxpwm_ie_com.dll"},
    {"InstallPath64NamesThe32BitFolder", true,
     [](HotfixMachine& m) {
         m.reg(
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"InstallPath\"=\"C:\\\\PROGRAM FILES "
             "(X86)\\\\Orvane\\\\Vaultline Security Suite\\\\\"\n");
     },
     "C:\\PROGRAM FILES (X86)\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
    // Without its backup the installed library is not overwritten.
    {"BackupNameIsAFolder", false, [](HotfixMachine& m) { m.file(std::string(kDirX86) + kBak + "\\keep.txt", "x"); },
     "C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
    {"BackupIsReadOnly", false, [](HotfixMachine& m) { m.file(std::string(kDirX86) + kBak, "an older backup"); },
     "C:\\Program Files\\Orvane\\Vaultline Security Suite\\plxpwm_ie_com.dll"},
};

class HotfixRefused : public ::testing::TestWithParam<std::tuple<RefusedCase, bool>> {};
}  // namespace

// Nothing changes, the failure is shown and logged, and nothing is recorded:
// with the installed libraries free or loaded by a running browser.
TEST_P(HotfixRefused, ChangesNothingAndSaysWhichLibrary) {
    const RefusedCase& c = std::get<0>(GetParam());
    const bool bReadOnlyBackup = std::string(c.name) == "BackupIsReadOnly";
    if (bReadOnlyBackup && plxIsWine())
        GTEST_SKIP() << "Wine's MoveFileExW replaces a read-only file, where Windows refuses";
    HotfixMachine m;
    std::string reason;
    if (!tableMachine(m, c, std::get<1>(GetParam()), reason)) GTEST_SKIP() << reason;
    m.answers("ok").create();
    if (bReadOnlyBackup) {
        ASSERT_TRUE(SetFileAttributesW(plxW(at(kDirX86, kBak)).c_str(), FILE_ATTRIBUTE_READONLY));
    }
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgFailure, "OK", "IDOK")});
    const std::string logDir = c.bX64 ? kDir32 : kDirX86;
    EXPECT_EQ(m.readFile(at(logDir, kLogName)),
              patchLogBytes({logLine(kMsgFailure, 1), std::string("Failed to update file ") + c.failedTarget}));
    for (const std::string& dir :
         c.bX64 ? std::vector<std::string>{kDir32, kDir64} : std::vector<std::string>{kDirX86}) {
        EXPECT_EQ(m.readFile(at(dir, kLibrary)), standIn(kOldVersion, dir == kDir64 && c.bX64)) << dir;
        EXPECT_FALSE(m.exists(at(dir, "plxpwm_ie_com.dll.new"))) << dir;
    }
    if (bReadOnlyBackup) {
        EXPECT_EQ(m.readFile(at(kDirX86, kBak)), "an older backup");
        SetFileAttributesW(plxW(at(kDirX86, kBak)).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    expectNoRecord();
    EXPECT_TRUE(m.restarts().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, HotfixRefused,
                         ::testing::Combine(::testing::ValuesIn(kRefusedCases), ::testing::Bool()),
                         freeOrLoaded<RefusedCase>);

namespace {
// Registrations and package places that Windows allows: the patch applies as on the demo computer.
struct PathCase {
    const char* name;
    bool bX64;
    void (*prepare)(HotfixMachine& m);
};

const PathCase kPathCases[] = {
    {"InstallPathWithoutTrailingBackslash", true,
     [](HotfixMachine& m) {
         m.reg(
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\Vaultline Security Suite]\n\"InstallPath\"=\"C:\\\\"
             "Program Files (x86)\\\\Orvane\\\\Vaultline Security Suite\"\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"InstallPath\"=\"C:\\\\Program "
             "Files\\\\Orvane\\\\Vaultline Security Suite\"\n");
     }},
    // "%ProgramFiles%\Orvane\Vaultline Security Suite\" as REG_EXPAND_SZ.
    {"ExpandableInstallPath", false,
     [](HotfixMachine& m) {
         m.reg(
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"InstallPath\"=hex(2):25,00,50,00,"
             "72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,00,6c,00,65,00,73,00,25,00,5c,00,4f,00,72,00,76,00,61,00,"
             "6e,00,65,00,5c,00,56,00,61,00,75,00,6c,00,74,00,6c,00,69,00,6e,00,65,00,20,00,53,00,65,00,63,00,75,00,"
             "72,00,69,00,74,00,79,00,20,00,53,00,75,00,69,00,74,00,65,00,5c,00,00,00\n");
     }},
    {"PackageOnANetworkShare", true, [](HotfixMachine& m) { m.packageIn("\\\\server\\deploy\\hotfix\\").package(); }},
};

class HotfixPaths : public ::testing::TestWithParam<std::tuple<PathCase, bool>> {};
}  // namespace

TEST_P(HotfixPaths, PatchEveryLibraryInItsPlace) {
    const PathCase& c = std::get<0>(GetParam());
    if (std::string(c.name) == "PackageOnANetworkShare" && !PLX_SIMULATED_MACHINE)
        GTEST_SKIP() << "Wine reaches no network share";
    HotfixMachine m;
    std::string reason;
    if (!tableMachine(m, c, std::get<1>(GetParam()), reason)) GTEST_SKIP() << reason;
    m.answers("no").create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO")});
    for (const std::string& dir :
         c.bX64 ? std::vector<std::string>{kDir32, kDir64} : std::vector<std::string>{kDirX86}) {
        const bool b64 = c.bX64 && dir == kDir64;
        EXPECT_EQ(m.readFile(at(dir, kLibrary)), packageFile(b64 ? "plxpwm_ie_com_x64.dll" : kLibrary)) << dir;
        EXPECT_EQ(m.readFile(at(dir, kBak)), standIn(kOldVersion, b64)) << dir;
    }
    expectRecord(m, kProductKey);
}

INSTANTIATE_TEST_SUITE_P(Cases, HotfixPaths, ::testing::Combine(::testing::ValuesIn(kPathCases), ::testing::Bool()),
                         freeOrLoaded<PathCase>);

// A run that a crash or a power loss stopped halfway is completed by the next.
TEST_F(HotfixX64, HalfPatchedComputerIsCompletedAndRecorded) {
    HotfixMachine m;
    m.windows("6.1", true)
        .product(kOldVersion)
        .installed(kDir32, kOldVersion, false)
        .installed(kDir64, "8.30.33.1", true)
        .file(at(kDir64, kBak), standIn(kOldVersion, true))
        .package()
        .answers("no")
        .create();
    m.run();
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO")});
    EXPECT_EQ(m.readFile(at(kDir32, kLibrary)), packageFile(kLibrary));
    EXPECT_EQ(m.readFile(at(kDir32, kBak)), standIn(kOldVersion, false));
    EXPECT_EQ(m.readFile(at(kDir64, kBak)), standIn(kOldVersion, true));
    expectRecord(m, kProductKey);
}

TEST_F(HotfixX64, NewerLibraryOfEitherBuildIsNeverMadeOlder) {
    HotfixMachine m;
    m.windows("6.1", true)
        .product(kOldVersion)
        .installed(kDir32, "8.30.34.0", false)
        .installed(kDir64, "8.30.33.1", true)
        .package()
        .answers("ok")
        .create();
    expectRefusal(m, m.run(), kMsgVersionMismatch, kDir32);
    expectUntouched(m, kDir32, "8.30.34.0", false);
    expectUntouched(m, kDir64, "8.30.33.1", true);
}

// A startup script and a deployment tool at once: one patches, the other then finds it done.
TEST_F(HotfixX64, TwoRunsAtOnceReplaceEachLibraryOnce) {
    HotfixMachine m;
    demoMachine(m);
    m.create();
    for (const HotfixRun& run : m.runTogether(2, "/s")) EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.readFile(at(kDir64, kBak)), standIn(kOldVersion, true));
    EXPECT_EQ(m.readFile(at(kDir32, kBak)), standIn(kOldVersion, false));
    EXPECT_EQ(m.readFile(at(kDir32, kLibrary)), packageFile(kLibrary));
    expectRecord(m, kProductKey);
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)),
              patchLogBytes({logLine(kMsgRestart, 7), logLine(kMsgAlreadyInstalled, 1)}));
}

TEST_F(HotfixX86, LineAfterALogOfOddLengthStartsOnACharacter) {
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.33.1");
    const std::string earlier = patchLogBytes({"earlier"}) + "x";
    m.file(at(kDirX86, kLogName), earlier).answers("ok").create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, kLogName)),
              earlier + std::string(1, '\0') + patchLogBytes({logLine(kMsgAlreadyInstalled, 1)}, false));
}

// ------------------------------------------------------------------ links planted by a standard user

namespace {
const char* const kWinIni = "C:\\Windows\\win.ini";
const char* const kWinIniText = "; for 16-bit app support\r\n[fonts]\r\n[extensions]\r\n";

// The patch log in the download folder (the product is not installed), or the
// diagnostic log in C:\ProgramData\Orvane: a link there to win.ini.
struct PlantedCase {
    const char* name;
    bool bProductInstalled;
    const char* linkPath;
    bool bSymbolic;
};

const PlantedCase kPlantedCases[] = {
    {"PatchLogHardLink", false, "C:\\Users\\Public\\Downloads\\patchlog8106.txt", false},
    {"PatchLogSymbolicLink", false, "C:\\Users\\Public\\Downloads\\patchlog8106.txt", true},
    {"DiagnosticLogHardLink", true, "C:\\ProgramData\\Orvane\\plxhotfix.log", false},
};

class HotfixPlantedLink : public ::testing::TestWithParam<PlantedCase> {};

// win.ini as the scenario wants it, put back afterwards (Wine's prefix has one of its own).
class KeptFile {
public:
    KeptFile(const std::string& path, const std::string& bytes) : m_path(path) {
        m_bHad = GetFileAttributesW(plxW(path).c_str()) != INVALID_FILE_ATTRIBUTES;
        if (m_bHad) m_before = plxReadFile(path);
        write(bytes);
    }
    ~KeptFile() {
        if (m_bHad)
            write(m_before);
        else
            DeleteFileW(plxW(m_path).c_str());
    }

private:
    void write(const std::string& bytes) {
        CPLXScopedKernelHandle file(CreateFileW(plxW(m_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (file.isValid()) WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

    std::string m_path, m_before;
    bool m_bHad = false;
};
}  // namespace

// An elevated run writes through no link a standard user could plant, and
// otherwise behaves as it would without it.
TEST_P(HotfixPlantedLink, LeavesItsTargetUntouched) {
    const PlantedCase& c = GetParam();
    if (c.bSymbolic && plxIsWine()) GTEST_SKIP() << "Wine's CreateSymbolicLinkW reports success and makes no link";
    HotfixMachine m;
    m.windows("6.1", true);
    std::string reason;
    if (!HotfixHost::canModel(m.settings(), reason)) GTEST_SKIP() << reason;
    if (c.bProductInstalled) {
        demoMachine(m);
        m.reg(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\Logs]\n\"Logging\"=dword:00000001\n"
            "\"LogDetail\"=dword:00000fff\n\"TextOutput\"=\"C:\\\\ProgramData\\\\Orvane\\\\plxhotfix.log\"\n");
        m.file("C:\\ProgramData\\Orvane\\keep.txt", "x");
    } else {
        m.package();
    }
    m.create();
    KeptFile winIni(kWinIni, kWinIniText);
    m.link(c.linkPath, kWinIni, c.bSymbolic);
    HotfixRun run = m.run("/s");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.readFile(kWinIni), kWinIniText);
    if (c.bProductInstalled)
        expectRecord(m, kProductKey);
    else
        expectNoRecord();
}

INSTANTIATE_TEST_SUITE_P(Cases, HotfixPlantedLink, ::testing::ValuesIn(kPlantedCases),
                         [](const ::testing::TestParamInfo<PlantedCase>& info) { return info.param.name; });
