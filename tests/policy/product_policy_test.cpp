// Search orders, product policies and the common policy table.
#include "plx_common_policy.h"
#include "plx_policy_ad_search_policy.h"
#include "plx_policy_tarsel_search_policy.h"
#include "policy_test_env.h"

namespace {

const CPLXWCharString kNoSubstitution;

std::vector<DWORD> locationsOf(CPLXPolicySearchPolicy& order) {
    std::vector<DWORD> locations;
    for (ULONG i = 0; i < order.getLocationCount(); ++i) locations.push_back(order.getPolicyLocation(i));
    return locations;
}

TEST(SearchPolicyTest, FixedOrders) {
    CPLXPolicyADSearchPolicy ad;
    EXPECT_EQ(locationsOf(ad), (std::vector<DWORD>{1, 2, 4, 8, 16, 32}));
    CPLXPolicyTarselSearchPolicy tarsel;
    EXPECT_EQ(locationsOf(tarsel), (std::vector<DWORD>{8, 16, 32}));
    CPLXPolicySearchPolicy empty;
    EXPECT_EQ(empty.getLocationCount(), 0u);
}

TEST(SearchPolicyTest, AddKeepsDuplicatesAndAnyValue) {
    CPLXPolicySearchPolicy order;
    EXPECT_TRUE(order.addPolicy(plUser));
    EXPECT_TRUE(order.addPolicy(plUser));
    EXPECT_TRUE(order.addPolicy(static_cast<PolicyLocation>(64)));
    EXPECT_EQ(locationsOf(order), (std::vector<DWORD>{16, 16, 64}));

    CPLXPolicySearchPolicy copy(order);
    order.addPolicy(plMachine);
    EXPECT_EQ(locationsOf(copy), (std::vector<DWORD>{16, 16, 64}));
    copy = order;
    EXPECT_EQ(locationsOf(copy), (std::vector<DWORD>{16, 16, 64, 8}));
}

TEST(SearchPolicyTest, PositionPastTheEndIsReportedAndGivesMachinePolicy) {
    PlxLoggingOn on("policyindex");
    CPLXPolicyADSearchPolicy ad;
    EXPECT_EQ(ad.getPolicyLocation(6), plMachinePolicy);
    EXPECT_EQ(ad.getPolicyLocation(0xFFFFFFFF), plMachinePolicy);
    CPLXPolicySearchPolicy empty;
    EXPECT_EQ(empty.getPolicyLocation(0), plMachinePolicy);
    std::vector<std::string> entries = on.entries();
    // Written once each, when raised; "no code" (-1) shows no error code.
    ASSERT_EQ(entries.size(), 3u);
    for (const std::string& entry : entries) {
        EXPECT_NE(entry.find("<EXCEPTION_BAD>"), std::string::npos) << entry;
        EXPECT_NE(entry.find("\"Index out of array bounds\" <plx_policy_search_policy.cpp, "), std::string::npos)
            << entry;
    }
}

class CommonPolicyTest : public PolicyTest {};

TEST_F(CommonPolicyTest, TheTableRowByRow) {
    struct Row {
        ULONG ulID;
        const char* szValueName;
        const char* szSubKey;
        DWORD dwDefault;
        bool bMirror32;
    } rows[] = {
        {7, "PDALogonGUIOption", "Vaultline Identity Manager", 0, false},
        {6, "WindowsPasswordRecoveryGUIOption", "Vaultline Identity Manager", 0, false},
        {10, "PasswordRecoveryEnabled", "Vaultline Identity Manager", 0, true},
        {0, "UsingEmulator", "Vaultline Security Suite", 0, false},
        {1, "VLSInstall", "Vaultline Security Suite", 0, false},
        {4, "PreferInternalFPSensor", "Vaultline Security Suite", 0, false},
        {5, "FPSwipeResult", "Vaultline Security Suite", 1, false},
        {2, "VLS6VLSInstall", "Vaultline Security Suite", 0, false},
        {8, "SystemType", "", 0, false},
        {11, "WizardGUIOption", "", 0, false},
        {9, "DisableHotfixMessage", "Vaultline Security Suite", 0, false},
    };
    CPLXCommonPolicy common;
    EXPECT_EQ(locationsOf(common), (std::vector<DWORD>{1, 2, 4, 8, 16, 32}));
    for (const Row& row : rows) {
        CPLXPolicyDwordSetting setting;
        ASSERT_TRUE(common.getPolicySetting(row.ulID, setting)) << row.ulID;
        EXPECT_EQ(setting.getID(), row.ulID);
        EXPECT_EQ(plxNarrow(setting.getVendorName()), "Orvane");
        EXPECT_EQ(plxNarrow(setting.getProductName()), "PLX Common");
        EXPECT_EQ(plxNarrow(setting.getVersion()), "1.0");
        EXPECT_EQ(setting.getSource(), 1u);
        EXPECT_EQ(setting.getType(), 1u);
        EXPECT_EQ(plxNarrow(setting.getValueName()), row.szValueName);
        EXPECT_EQ(plxNarrow(setting.getSubKey()), row.szSubKey) << row.ulID;
        EXPECT_EQ(setting.getDefaultValue(), row.dwDefault) << row.ulID;
        EXPECT_EQ(setting.isMirror32(), row.bMirror32) << row.ulID;
        EXPECT_FALSE(setting.isCached());
    }
    CPLXPolicyStringSetting admin;
    ASSERT_TRUE(common.getPolicySetting(3, admin));
    EXPECT_EQ(plxNarrow(admin.getValueName()), "AdminUser");
    EXPECT_EQ(plxNarrow(admin.getSubKey()), "Vaultline Security Suite");
    EXPECT_FALSE(admin.getDefaultValue().isValid());
    EXPECT_FALSE(admin.isExpand());
    EXPECT_TRUE(admin.isMirror32());
    EXPECT_EQ(admin.getType(), 2u);
    EXPECT_EQ(plxNarrow(admin.getVendorName()), "Orvane");

    // The end row is no setting; 3 is no number setting and the numbers are no string settings.
    CPLXPolicyDwordSetting number;
    EXPECT_FALSE(common.getPolicySetting(12, number));
    EXPECT_FALSE(common.getPolicySetting(3, number));
    EXPECT_FALSE(common.getPolicySetting(1, admin));
    EXPECT_FALSE(common.getPolicySetting(12, admin));
}

TEST_F(CommonPolicyTest, DefaultsWhenNoKeyHoldsTheValue) {
    CPLXCommonPolicy common;
    DWORD dwOut = 77;
    EXPECT_TRUE(common.getPolicy(1, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 0u);
    EXPECT_TRUE(common.getPolicy(5, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 1u);
    dwOut = 77;
    EXPECT_FALSE(common.getPolicy(5, dwOut, true, kNoSubstitution));
    EXPECT_EQ(dwOut, 77u);
}

TEST_F(CommonPolicyTest, EachLocationOfTheExampleIsConsulted) {
    struct Place {
        HKEY hRoot;
        const char* szPath;
    } places[] = {
        {HKEY_LOCAL_MACHINE, POLICY_MACHINE_POLICY_KEY},  {HKEY_CURRENT_USER, POLICY_MACHINE_POLICY_KEY},
        {HKEY_LOCAL_MACHINE, POLICY_POLICY_DEFAULTS_KEY}, {HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY},
        {HKEY_CURRENT_USER, POLICY_PRODUCT_KEY},          {HKEY_LOCAL_MACHINE, POLICY_PRODUCT_DEFAULTS_KEY},
    };
    for (const Place& place : places) {
        clearKeys();
        rawSetDword(place.hRoot, place.szPath, "VLSInstall", 1);
        CPLXCommonPolicy common;
        DWORD dwOut = 0;
        EXPECT_TRUE(common.getPolicy(1, dwOut, true, kNoSubstitution)) << place.szPath;
        EXPECT_EQ(dwOut, 1u) << place.szPath;
    }
}

TEST_F(CommonPolicyTest, EarlierLocationsWin) {
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_DEFAULTS_KEY, "FPSwipeResult", 32);
    rawSetDword(HKEY_CURRENT_USER, POLICY_PRODUCT_KEY, "FPSwipeResult", 16);
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "FPSwipeResult", 8);
    CPLXCommonPolicy common;
    DWORD dwOut = 0;
    EXPECT_TRUE(common.getPolicy(5, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 8u);
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_POLICY_DEFAULTS_KEY, "FPSwipeResult", 4);
    EXPECT_TRUE(common.getPolicy(5, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 4u);
    rawSetDword(HKEY_CURRENT_USER, POLICY_MACHINE_POLICY_KEY, "FPSwipeResult", 2);
    EXPECT_TRUE(common.getPolicy(5, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 2u);
    // A value of another type does not count as found.
    rawSetString(HKEY_LOCAL_MACHINE, POLICY_MACHINE_POLICY_KEY, "FPSwipeResult", "text");
    EXPECT_TRUE(common.getPolicy(5, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 2u);
}

TEST_F(CommonPolicyTest, MachinePolicyIsReadFirstAndAlone) {
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_MACHINE_POLICY_KEY, "VLSInstall", 1);
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "VLSInstall", 0);
    CPLXCommonPolicy common;
    PlxLoggingOn on("policyfirst", 0x031B);
    on.tracesOn();
    DWORD dwOut = 0;
    EXPECT_TRUE(common.getPolicy(1, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 1u);
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(countLines(entries, {"<ENTRY>", "<CPLXProductPolicy::getPolicy>"}), 1u);
    EXPECT_EQ(countLines(entries, {"<ENTRY>", "<CPLXProductPolicy::getPolicySetting>"}), 1u);
    // One location read: the first.
    EXPECT_EQ(countLines(entries, {"<ENTRY>", "<CPLXPolicyDwordSetting::getPolicy>"}), 1u);
    EXPECT_EQ(countLines(entries, {"<ENTRY>", "<CPLXPolicySearchPolicy::getPolicyLocation>"}), 1u);

    // Without the policy value the product's machine key, the fourth location, answers.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, TEXT("Software\\Policies\\Orvane"));
    PlxLoggingOn again("policyfourth", 0x031B);
    again.tracesOn();
    EXPECT_TRUE(common.getPolicy(1, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 0u);
    EXPECT_EQ(countLines(again.entries(), {"<ENTRY>", "<CPLXPolicyDwordSetting::getPolicy>"}), 4u);
}

TEST_F(CommonPolicyTest, UnknownIdentifiersAreReported) {
    PlxLoggingOn on("policyunknown");
    CPLXCommonPolicy common;
    DWORD dwOut = 77;
    EXPECT_FALSE(common.getPolicy(12, dwOut, false, kNoSubstitution));
    EXPECT_FALSE(common.getPolicy(3, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 77u);
    std::vector<std::string> entries = on.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(countLines({entries[0]}, {"<WARNING>", "\"Could not find policy setting with ID ( 12 )\""}), 1u)
        << entries[0];
    EXPECT_EQ(countLines({entries[1]}, {"<WARNING>", "\"Could not find policy setting with ID ( 3 )\""}), 1u)
        << entries[1];
}

TEST_F(CommonPolicyTest, StringSettingsHaveTheirOwnLookup) {
    CPLXCommonPolicy common;
    CPLXWCharString szOut(TEXT("kept"));
    EXPECT_FALSE(common.getPolicy(3, szOut, true, kNoSubstitution));
    EXPECT_EQ(plxNarrow(szOut), "kept");
    EXPECT_TRUE(common.getPolicy(3, szOut, false, kNoSubstitution));
    EXPECT_FALSE(szOut.isValid());

    rawSetString(HKEY_CURRENT_USER, POLICY_PRODUCT_KEY, "AdminUser", "jdoe");
    EXPECT_TRUE(common.getPolicy(3, szOut, true, kNoSubstitution));
    EXPECT_EQ(plxNarrow(szOut), "jdoe");
    rawSetString(HKEY_CURRENT_USER, POLICY_MACHINE_POLICY_KEY, "AdminUser", "admin");
    EXPECT_TRUE(common.getPolicy(3, szOut, true, kNoSubstitution));
    EXPECT_EQ(plxNarrow(szOut), "admin");
    // Number identifiers are not string settings.
    EXPECT_FALSE(common.getPolicy(1, szOut, false, kNoSubstitution));
    EXPECT_EQ(plxNarrow(szOut), "admin");
}

class ProductPolicyTest : public PolicyTest {};

CPLXPolicyDwordSetting testSetting(ULONG ulID, const char* szValueName, DWORD dwDefault) {
    return CPLXPolicyDwordSetting(TEXT("Orvane"), TEXT("PLX Test"), ulID, PLX_POLICY_SOURCE_REGISTRY, TEXT("2.0"),
                                  plxStr(szValueName), CPLXWCharString(), dwDefault, false);
}

TEST_F(ProductPolicyTest, TarselOrderNeverReadsThePolicyKeys) {
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        rawSetDword(hRoot, "Software\\Policies\\Orvane\\PLX Test", "Level", 1);
    }
    rawSetDword(HKEY_LOCAL_MACHINE, "Software\\Policies\\Orvane\\PLX Test\\User Defaults", "Level", 1);
    CPLXProductPolicy product{CPLXPolicyTarselSearchPolicy()};
    ASSERT_TRUE(product.addPolicySetting(testSetting(40, "Level", 9)));
    EXPECT_EQ(locationsOf(product), (std::vector<DWORD>{8, 16, 32}));

    PlxLoggingOn on("policytarsel", 0x031B);
    on.tracesOn();
    DWORD dwOut = 0;
    EXPECT_TRUE(product.getPolicy(40, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 9u);
    EXPECT_EQ(countLines(on.entries(), {"<ENTRY>", "<CPLXPolicyDwordSetting::getPolicy>"}), 3u);
    dwOut = 77;
    EXPECT_FALSE(product.getPolicy(40, dwOut, true, kNoSubstitution));
    EXPECT_EQ(dwOut, 77u);

    rawSetDword(HKEY_LOCAL_MACHINE, "Software\\Orvane\\PLX Test\\User Defaults", "Level", 3);
    EXPECT_TRUE(product.getPolicy(40, dwOut, true, kNoSubstitution));
    EXPECT_EQ(dwOut, 3u);
    rawSetDword(HKEY_CURRENT_USER, "Software\\Orvane\\PLX Test", "Level", 2);
    EXPECT_TRUE(product.getPolicy(40, dwOut, true, kNoSubstitution));
    EXPECT_EQ(dwOut, 2u);
}

TEST_F(ProductPolicyTest, FirstSettingOfAnIdentifierWinsAndLookupsReadAfresh) {
    CPLXPolicySearchPolicy order;
    order.addPolicy(plUser);
    CPLXProductPolicy product(order);
    EXPECT_TRUE(product.addPolicySetting(testSetting(7, "First", 1)));
    EXPECT_TRUE(product.addPolicySetting(testSetting(7, "Second", 2)));
    CPLXPolicyDwordSetting found;
    ASSERT_TRUE(product.getPolicySetting(7, found));
    EXPECT_EQ(plxNarrow(found.getValueName()), "First");

    DWORD dwOut = 0;
    EXPECT_TRUE(product.getPolicy(7, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 1u);
    rawSetDword(HKEY_CURRENT_USER, "Software\\Orvane\\PLX Test", "First", 5);
    EXPECT_TRUE(product.getPolicy(7, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 5u);
    rawSetDword(HKEY_CURRENT_USER, "Software\\Orvane\\PLX Test", "First", 6);
    EXPECT_TRUE(product.getPolicy(7, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 6u);
    // The stored setting's cache was never filled.
    ASSERT_TRUE(product.getPolicySetting(7, found));
    EXPECT_FALSE(found.isCached());
}

TEST_F(ProductPolicyTest, SubstitutionReachesEveryLocation) {
    CPLXPolicyDwordSetting perUser(TEXT("Orvane"), TEXT("PLX Test"), 1, PLX_POLICY_SOURCE_REGISTRY, TEXT("2.0"),
                                   TEXT("Level"), TEXT("%USER%"), 0, false);
    CPLXProductPolicy product{CPLXPolicyADSearchPolicy()};
    product.addPolicySetting(perUser);
    rawSetDword(HKEY_CURRENT_USER, "Software\\Orvane\\PLX Test\\alice", "Level", 4);
    DWORD dwOut = 0;
    EXPECT_TRUE(product.getPolicy(1, dwOut, true, plxStr("%USER%=alice")));
    EXPECT_EQ(dwOut, 4u);
    EXPECT_FALSE(product.getPolicy(1, dwOut, true, plxStr("%USER%=bob")));
}

}  // namespace
