// The installer run as a process on x64 and x86 computers, simulated ones
// and (the shipped program) under Wine: what the user sees, what it changes
// on disk and in the registry, and the patch log byte for byte.
#include "hotfix_machine.h"

#include <gtest/gtest.h>

namespace {
const std::string kProductKey = "SOFTWARE\\Orvane\\Vaultline Security Suite";
const std::string kLegacyKey = "SOFTWARE\\Meridal Stillharbour\\Vaultline Security Software";
const char* const kLibrary = "plxpwm_ie_com.dll";
const char* const kLogName = "patchlog8106.txt";
const char* const kOldVersion = "8.30.20.0";

std::string at(const std::string& dir, const char* name)
{
    return dir + name;
}

// Windows 6.1 x64 with product 8.30.20.0 and older libraries in both directories.
void demoMachine(HotfixMachine& m)
{
    m.windows("6.1", true)
        .product(kOldVersion)
        .installed(kDir32, kOldVersion, false)
        .installed(kDir64, kOldVersion, true)
        .package();
}

// Windows x86 (6.1 unless said) with product version and an installed library of libVersion ("" for none).
void machine32(HotfixMachine& m, const std::string& productVersion, const std::string& libVersion,
               const std::string& windowsVersion = "6.1")
{
    m.windows(windowsVersion, false).product(productVersion).package();
    if (!libVersion.empty())
        m.installed(kDirX86, libVersion, false);
}

void expectRecord(HotfixMachine& m, const std::string& productKey)
{
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

void expectNoRecord()
{
    EXPECT_FALSE(regKeyExists(kProductKey + "\\Patch\\8106", KEY_WOW64_32KEY));
    EXPECT_FALSE(regKeyExists(kLegacyKey + "\\Patch\\8106", KEY_WOW64_32KEY));
}

// The installed library of dir is still the stand-in of version, with no ".bak" beside it.
void expectUntouched(HotfixMachine& m, const std::string& dir, const std::string& version, bool bX64Build)
{
    EXPECT_EQ(m.readFile(at(dir, kLibrary)), standIn(version, bX64Build)) << dir;
    EXPECT_FALSE(m.exists(at(dir, "plxpwm_ie_com.dll.bak"))) << dir;
}

// A refusal: one OK box with text, the same in the patch log of logDir, nothing else changed.
void expectRefusal(HotfixMachine& m, const HotfixRun& run, const char* text, const std::string& logDir)
{
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(text, "OK", "IDOK")});
    EXPECT_EQ(m.readFile(at(logDir, kLogName)), patchLogBytes({logLine(text, 1)}));
    expectNoRecord();
    EXPECT_TRUE(m.restarts().empty());
}
}  // namespace

// ------------------------------------------------------------------ success

TEST_F(HotfixX64, Success64ReplacesBothLibrariesRecordsAndAsks)
{
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

TEST_F(HotfixX86, Success32ReplacesTheLibrary)
{
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

TEST_F(HotfixX86, MissingInstalledLibraryIsCopiedIn)
{
    HotfixMachine m;
    machine32(m, kOldVersion, "");
    m.file(at(kDirX86, "vaultline.exe"), "MZ").answers("no").create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    EXPECT_FALSE(m.exists(at(kDirX86, "plxpwm_ie_com.dll.bak")));
    expectRecord(m, kProductKey);
}

TEST_F(HotfixX86, ExistingBakFileIsReplaced)
{
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion);
    m.file(at(kDirX86, "plxpwm_ie_com.dll.bak"), "an older backup").answers("no").create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, "plxpwm_ie_com.dll.bak")), standIn(kOldVersion, false));
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
}

TEST_F(HotfixX64, SecondRunFindsTheLibraryCurrentAndAppendsToTheLog)
{
    HotfixMachine m;
    demoMachine(m);
    m.answers("no").create();
    m.run();
    m.answersNow("ok");
    HotfixRun second = m.run();
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(m.boxes(), (std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO"),
                                                   box(kMsgAlreadyInstalled, "OK", "IDOK")}));
    // One byte-order mark; the second run's line follows the first.
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)),
              patchLogBytes({logLine(kMsgRestart, 7), logLine(kMsgAlreadyInstalled, 1)}));
    // The backups still hold the libraries replaced by the first run.
    EXPECT_EQ(m.readFile(at(kDir64, "plxpwm_ie_com.dll.bak")), standIn(kOldVersion, true));
}

TEST_F(HotfixX86, LogWithoutByteOrderMarkGetsNone)
{
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.33.1");
    m.file(at(kDirX86, kLogName), patchLogBytes({"earlier"}, false)).answers("ok").create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, kLogName)),
              patchLogBytes({"earlier", logLine(kMsgAlreadyInstalled, 1)}, false));
}

TEST_F(HotfixX64, No64BitInstallPathPatchesTheOneDirectoryTwice)
{
    // Only the 32-bit view knows the product: the 64-bit target is the bare
    // name, resolved against that directory, and the 32-bit copy follows it.
    HotfixMachine m;
    m.windows("6.1", true)
        .reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\Vaultline Security Suite]\n"
             "\"Version\"=\"8.30.20.0\"\n"
             "\"InstallPath\"=\"C:\\\\Program Files (x86)\\\\Orvane\\\\Vaultline Security Suite\\\\\"\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\PLX Common\\Vaultline Security Suite]\n"
             "\"VLSInstall\"=dword:00000001\n")
        .installed(kDir32, kOldVersion, false)
        .package()
        .answers("no")
        .create();
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.readFile(at(kDir32, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    EXPECT_EQ(m.readFile(at(kDir32, "plxpwm_ie_com.dll.bak")), packageFile("plxpwm_ie_com_x64.dll"));
    EXPECT_FALSE(m.exists(at(kDir64, kLibrary)));
    expectRecord(m, kProductKey);
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO")});
}

// ------------------------------------------------------------------ restart question

TEST_F(HotfixX64, YesToTheRestartQuestionRestartsWindows)
{
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

TEST_F(HotfixX86, SameLibraryVersionIsAlreadyInstalled)
{
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.33.1");
    m.answers("ok").create();
    expectRefusal(m, m.run(), kMsgAlreadyInstalled, kDirX86);
    expectUntouched(m, kDirX86, "8.30.33.1", false);
}

TEST_F(HotfixX86, NewerLibraryIsRefused)
{
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.34.0");
    m.answers("ok").create();
    expectRefusal(m, m.run(), kMsgVersionMismatch, kDirX86);
    expectUntouched(m, kDirX86, "8.30.34.0", false);
}

TEST_F(HotfixX64, Newer64BitLibraryLeavesThe32BitOneAlone)
{
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

TEST_F(HotfixX86, InstalledLibraryWithoutVersionIsReplaced)
{
    HotfixMachine m;
    machine32(m, kOldVersion, "0.0.0.0");
    m.answers("no").create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    expectRecord(m, kProductKey);
}

// ------------------------------------------------------------------ product detection

TEST_F(HotfixX64, ProductAbsentWritesTheLogToTheCurrentDirectory)
{
    HotfixMachine m;
    m.windows("6.1", true).package().file("C:\\Users\\Public\\Documents\\keep.txt", "x").answers("ok").create();
    expectRefusal(m, m.run("", "C:\\Users\\Public\\Documents"), kMsgNotInstalled, "C:\\Users\\Public\\Documents\\");
    EXPECT_FALSE(m.exists(std::string(kDownloads) + kLogName));
}

TEST_F(HotfixX86, ProductAbsentOnOtherWindowsIsStillNotInstalled)
{
    HotfixMachine m;
    m.windows("5.1", false).package().answers("ok").create();
    expectRefusal(m, m.run(), kMsgNotInstalled, kDownloads);
}

TEST_F(HotfixX86, LegacyKeyOnlyIsPatchedAndRecordedThere)
{
    HotfixMachine m;
    m.windows("6.1", false)
        .reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Meridal Stillharbour\\Vaultline Security Software]\n"
             "\"Version\"=\"8.30.20.0\"\n\"InstallPath\"=\"C:\\\\Program Files\\\\Orvane\\\\Vaultline Security Suite\\\\\"\n"
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

TEST_F(HotfixX64, Version8WithoutVLSInstallIsNotInstalled)
{
    HotfixMachine m;
    m.windows("6.1", true).product(kOldVersion, false).installed(kDir32, kOldVersion, false).package();
    m.installed(kDir64, kOldVersion, true).answers("ok").create();
    // The product directory is known, so the log lands there.
    expectRefusal(m, m.run(), kMsgNotInstalled, kDir32);
    expectUntouched(m, kDir32, kOldVersion, false);
}

TEST_F(HotfixX86, VLSInstallZeroIsNotInstalled)
{
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion);
    m.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security Suite]\n"
          "\"VLSInstall\"=dword:00000000\n")
        .answers("ok")
        .create();
    expectRefusal(m, m.run(), kMsgNotInstalled, kDirX86);
}

TEST_F(HotfixX86, Version6NeedsNoPolicyButIsNotPatched)
{
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
void expectNothingDoneWithoutDirectory(HotfixMachine& m)
{
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

TEST_F(HotfixX86, NoInstallPathAnywhereCopiesNothing)
{
    HotfixMachine m;
    m.windows("6.1", false)
        .reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"Version\"=\"8.30.20.0\"\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security Suite]\n"
             "\"VLSInstall\"=dword:00000001\n");
    expectNothingDoneWithoutDirectory(m);
}

TEST_F(HotfixX64, EmptyInstallPathCopiesNothingEvenWithA64BitDirectory)
{
    HotfixMachine m;
    m.windows("6.1", true)
        .reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\Vaultline Security Suite]\n"
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

TEST_F(HotfixX86, Patch8100RecordedIsRefusedBeforeAnyFile)
{
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion);
    m.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite\\Patch\\8100]\n")
        .answers("ok")
        .create();
    expectRefusal(m, m.run(), kMsgAlreadyInstalled, kDirX86);
    expectUntouched(m, kDirX86, kOldVersion, false);
}

TEST_F(HotfixX86, Patch8106OnlyDoesNotStopThePatch)
{
    HotfixMachine m;
    machine32(m, kOldVersion, kOldVersion);
    m.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite\\Patch\\8106]\n"
          "\"description\"=\"old\"\n")
        .answers("no")
        .create();
    m.run();
    EXPECT_EQ(m.readFile(at(kDirX86, kLibrary)), packageFile("plxpwm_ie_com.dll"));
    expectRecord(m, kProductKey);  // overwritten
}

// ------------------------------------------------------------------ Windows version

class HotfixX86OtherWindows : public HotfixX86, public ::testing::WithParamInterface<const char*> {};

TEST_P(HotfixX86OtherWindows, IsRefusedWithTheSystemMessage)
{
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

TEST_P(HotfixX86ProductVersion, GatesThePatch)
{
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
                                           VersionCase{"8..30.1", false},
                                           VersionCase{"8.30.4294967296", false}));

// ------------------------------------------------------------------ silent mode

class HotfixX64Silent : public HotfixX64, public ::testing::WithParamInterface<const char*> {};

TEST_P(HotfixX64Silent, ShowsNoBoxAndLogsTheDefaultAnswers)
{
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

TEST_F(HotfixX64, OtherArgumentsAreIgnored)
{
    HotfixMachine m;
    demoMachine(m);
    m.answers("no").create();
    m.run("/q /x --help");
    EXPECT_EQ(m.boxes(), std::vector<std::string>{box(kMsgRestart, "YESNO", "IDNO")});
}

// ------------------------------------------------------------------ diagnostic log

TEST_F(HotfixX64, DiagnosticLogIsWrittenWhereTheLoggingValuesSay)
{
    // Switched on in the program's own (32-bit) view, with every level and traces.
    const char* const kDiagnosticLog = "C:\\ProgramData\\Orvane\\plxhotfix.log";
    HotfixMachine m;
    demoMachine(m);
    m.reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\Logs]\n\"Logging\"=dword:00000001\n"
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

TEST_F(HotfixX64, StandardUserChangesNothing)
{
    HotfixMachine m;
    demoMachine(m);
    m.standardUser();
    std::string reason;
    if (!HotfixHost::canModel(m.settings(), reason))
        GTEST_SKIP() << reason;
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

TEST_F(HotfixX64, PackageWithoutLibrariesRestoresTheInstalledOnes)
{
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
    // The product keeps working libraries under their own names.
    expectUntouched(m, kDir64, kOldVersion, true);
    expectUntouched(m, kDir32, kOldVersion, false);
    expectNoRecord();
    EXPECT_EQ(m.readFile(at(kDir32, kLogName)),
              patchLogBytes({logLine(kMsgFailure, 1), std::string("Failed to update file ") + kDir64 + kLibrary,
                             logLine(kMsgFailure, 1), std::string("Failed to update file ") + kDir32 + kLibrary}));
}

TEST_F(HotfixX86, BoxThatCannotBeShownIsLoggedWithAnswerZero)
{
    if (plxIsWine())
        GTEST_SKIP() << "Wine's MessageBoxW returns -1 when it cannot show a box, where Windows returns 0";
    HotfixMachine m;
    machine32(m, kOldVersion, "8.30.33.1");
    m.create();  // no answers and no terminal
    HotfixRun run = m.run();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(m.readFile(at(kDirX86, kLogName)), patchLogBytes({logLine(kMsgAlreadyInstalled, 0)}));
}
