// The product classes in process: where the host product is found, how its
// version is read and compared, and what counts as installed.
#include "../logging/plx_log_test_env.h"
#include "plx_product_vls.h"
#include "plx_test_machine.h"

#include <gtest/gtest.h>

namespace {
const char* const kCurrent =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n"
    "\"Version\"=\"8.30.33.0\"\n\"InstallPath\"=\"C:\\\\Current\\\\\"\n";
const char* const kCurrentVersionOnly =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"Version\"=\"8.30.33.0\"\n";
const char* const kLegacy =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Meridal Stillharbour\\Vaultline Security Software]\n"
    "\"Version\"=\"7.1.2.3\"\n\"InstallPath\"=\"C:\\\\Legacy\\\\\"\n";
const char* const kVLSInstallOn =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security Suite]\n\"VLSInstall\"=dword:00000001\n";

// An x86 computer (one registry view) with the given registry text.
void makeMachine(TestMachine& m, const std::string& regText) {
    m.ini("Windows", "Architecture", "x86").reg(regText).create();
}

std::string text(const CPLXWCharString& s) { return plxNarrow(s.c_str(), s.getLength()); }

struct Items {
    bool bVersion, bDirectory, bLocation;
    std::string version, directory, location;
};

Items readItems() {
    CPLXProduct_VLS product;
    CPLXWCharString version(TEXT("unchanged")), directory(TEXT("unchanged")), location(TEXT("unchanged"));
    Items items;
    items.bVersion = product.getProductVersion(version);
    items.bDirectory = product.getInstallDirectory(directory);
    items.bLocation = product.getRegistryLocation(location);
    items.version = text(version);
    items.directory = text(directory);
    items.location = text(location);
    return items;
}
}  // namespace

TEST(ProductVLS, CurrentKeyWinsOverTheLegacyOne) {
    TestMachine m;
    makeMachine(m, std::string(kCurrent) + kLegacy);
    Items items = readItems();
    EXPECT_TRUE(items.bVersion && items.bDirectory && items.bLocation);
    EXPECT_EQ(items.version, "8.30.33.0");
    EXPECT_EQ(items.directory, "C:\\Current\\");
    EXPECT_EQ(items.location, "Software\\Orvane\\Vaultline Security Suite");
}

TEST(ProductVLS, LegacyKeyOnlyAnswersEveryGetter) {
    TestMachine m;
    makeMachine(m, kLegacy);
    Items items = readItems();
    EXPECT_TRUE(items.bVersion && items.bDirectory && items.bLocation);
    EXPECT_EQ(items.version, "7.1.2.3");
    EXPECT_EQ(items.directory, "C:\\Legacy\\");
    EXPECT_EQ(items.location, "Software\\Meridal Stillharbour\\Vaultline Security Software");
}

TEST(ProductVLS, LocationCountsOnlyWithAnInstallPath) {
    TestMachine m;
    makeMachine(m, std::string(kCurrentVersionOnly) + kLegacy);
    Items items = readItems();
    EXPECT_EQ(items.version, "8.30.33.0");
    EXPECT_EQ(items.directory, "C:\\Legacy\\");
    EXPECT_EQ(items.location, "Software\\Meridal Stillharbour\\Vaultline Security Software");
}

TEST(ProductVLS, MissingItemsLeaveTheOutputUnchanged) {
    TestMachine m;
    makeMachine(m, kCurrentVersionOnly);
    Items items = readItems();
    EXPECT_TRUE(items.bVersion);
    EXPECT_FALSE(items.bDirectory);
    EXPECT_FALSE(items.bLocation);
    EXPECT_EQ(items.directory, "unchanged");
    EXPECT_EQ(items.location, "unchanged");
}

TEST(ProductVLS, FindsTheProductInThe32BitViewOfAn64BitComputer) {
    TestMachine m;
    m.ini("Windows", "Architecture", "x64")
        .reg(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvane\\Vaultline Security Suite]\n"
            "\"Version\"=\"8.30.20.0\"\n\"InstallPath\"=\"C:\\\\x86\\\\\"\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n"
            "\"Version\"=\"9.0.0.0\"\n\"InstallPath\"=\"C:\\\\x64\\\\\"\n")
        .create();
    Items items = readItems();
    EXPECT_EQ(items.version, "8.30.20.0");
    EXPECT_EQ(items.directory, "C:\\x86\\");
}

TEST(ProductVLS, InstalledNeedsVLSInstallFromVersion7On) {
    struct Case {
        const char* version;
        const char* policy;
        bool bInstalled;
    } cases[] = {
        {"8.30.33.0", kVLSInstallOn, true},
        {"8.30.33.0", "", false},
        {"8.30.33.0",
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security "
         "Suite]\n\"VLSInstall\"=dword:00000000\n",
         false},
        {"8.30.33.0",
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security "
         "Suite]\n\"VLSInstall\"=dword:00000002\n",
         false},
        // A machine policy overrides the product's own machine key.
        {"8.30.33.0",
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Orvane\\PLX Common\\Vaultline Security Suite]\n"
         "\"VLSInstall\"=dword:00000001\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\PLX Common\\Vaultline Security "
         "Suite]\n\"VLSInstall\"=dword:00000000\n",
         true},
        {"7.0.0.0", "", false},
        {"6.9.9.9", "", true},
    };
    for (const Case& c : cases) {
        TestMachine m;
        makeMachine(m, std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\n\"Version\"=\"") +
                           c.version + "\"\n\"InstallPath\"=\"C:\\\\p\\\\\"\n" + c.policy);
        CPLXProduct_VLS product;
        EXPECT_EQ(product.isInstalled(PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE), c.bInstalled)
            << c.version << " " << c.policy;
    }
}

TEST(ProductVLS, InstalledComparesTheRequestedVersion) {
    TestMachine m;
    makeMachine(m, std::string(kCurrent) + kVLSInstallOn);
    CPLXProduct_VLS product;
    EXPECT_TRUE(product.isInstalled(8, 30, PLX_DONT_CARE, PLX_DONT_CARE));
    EXPECT_TRUE(product.isInstalled(8, 30, 33, 0));
    EXPECT_TRUE(product.isInstalled(8, 29, 99, 99));
    EXPECT_FALSE(product.isInstalled(8, 30, 33, 1));
    EXPECT_FALSE(product.isInstalled(8, 31, PLX_DONT_CARE, PLX_DONT_CARE));
    EXPECT_FALSE(product.isInstalled(9, PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE));
    // A real number after PLX_DONT_CARE is an argument error.
    EXPECT_FALSE(product.isInstalled(8, PLX_DONT_CARE, 5, PLX_DONT_CARE));
}

TEST(ProductVLS, NotInstalledWithoutAnyKey) {
    TestMachine m;
    makeMachine(m, kVLSInstallOn);
    CPLXProduct_VLS product;
    EXPECT_FALSE(product.isInstalled(PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE));
    LONG lMajor = 5, lMinor = 5, lBuild = 5, lPatch = 5;
    EXPECT_FALSE(product.getProductVersion(lMajor, lMinor, lBuild, lPatch));
    EXPECT_EQ(lMajor, 5);
}

TEST(Product, ConvertVersionKeepsMissingAndNonNumericParts) {
    TestMachine m;
    makeMachine(m, "");
    CPLXProduct_VLS product;
    LONG v[4] = {0, 0, 0, 0};
    EXPECT_TRUE(product.convertVersion(CPLXWCharString(TEXT("8.30.33.1")), v[0], v[1], v[2], v[3]));
    EXPECT_EQ(std::vector<LONG>(v, v + 4), (std::vector<LONG>{8, 30, 33, 1}));

    LONG w[4] = {-7, -7, -7, -7};
    EXPECT_TRUE(product.convertVersion(CPLXWCharString(TEXT("8.x")), w[0], w[1], w[2], w[3]));
    EXPECT_EQ(std::vector<LONG>(w, w + 4), (std::vector<LONG>{8, -7, -7, -7}));
}

TEST(Product, IsVersionInstalledComparesFromMajorToPatch) {
    TestMachine m;
    makeMachine(m, "");
    CPLXProduct_VLS product;
    const LONG installed[4] = {8, 30, 0, 0};
    const LONG any830[4] = {8, 30, PLX_DONT_CARE, PLX_DONT_CARE};
    const LONG any831[4] = {8, 31, PLX_DONT_CARE, PLX_DONT_CARE};
    const LONG same[4] = {8, 30, 0, 0};
    const LONG lowerMajor[4] = {7, 99, 99, 99};
    const LONG anything[4] = {PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE, PLX_DONT_CARE};
    EXPECT_TRUE(product.isVersionInstalled(any830, installed));
    EXPECT_FALSE(product.isVersionInstalled(any831, installed));
    EXPECT_TRUE(product.isVersionInstalled(same, installed));
    EXPECT_TRUE(product.isVersionInstalled(lowerMajor, installed));
    EXPECT_TRUE(product.isVersionInstalled(anything, installed));
}

TEST(Product, CheckParmsRefusesRealValuesAfterDontCare) {
    TestMachine m;
    makeMachine(m, "");
    PlxLoggingOn on("checkparms");
    CPLXProduct_VLS product;
    const LONG good[4] = {8, 30, PLX_DONT_CARE, PLX_DONT_CARE};
    const LONG bad[4] = {8, PLX_DONT_CARE, 5, PLX_DONT_CARE};
    EXPECT_TRUE(product.checkParms(good));
    EXPECT_FALSE(product.checkParms(bad));
    EXPECT_FALSE(product.checkParms(nullptr));

    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_NE(entries[0].find("lVersions[2]"), std::string::npos) << entries[0];
    EXPECT_NE(entries[0].find("Cannot be real value, PLX_DONT_CAREs prior"), std::string::npos) << entries[0];
    EXPECT_NE(entries[1].find("lVersions"), std::string::npos) << entries[1];
    EXPECT_NE(entries[1].find("Cannot have NULL value"), std::string::npos) << entries[1];
}

TEST(ProductRegistryInfo, EqualityAndAssignment) {
    TestMachine m;
    makeMachine(m, "");
    CPLXProductRegistryInfo a(CPLXWCharString(TEXT("Software\\A")), CPLXWCharString(TEXT("Version")),
                              CPLXWCharString(TEXT("InstallPath")));
    CPLXProductRegistryInfo b(CPLXWCharString(TEXT("Software\\A")), CPLXWCharString(TEXT("Version")),
                              CPLXWCharString(TEXT("Dir")));
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);
    b = a;
    EXPECT_TRUE(a == b);
    CPLXProductRegistryInfo c(CPLXWCharString(TEXT("Software\\C")), CPLXWCharString(TEXT("V")),
                              CPLXWCharString(TEXT("P")));
    c = &a;
    EXPECT_TRUE(c == a);
    c = static_cast<const CPLXProductRegistryInfo*>(nullptr);
    EXPECT_TRUE(c == a);
    EXPECT_EQ(text(c.getKeyPath()), "Software\\A");
}
