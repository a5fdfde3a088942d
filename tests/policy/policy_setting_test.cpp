// Policy settings: key paths of the six locations, substitutions, reading and
// writing one location, the cache, copies and comparisons.
#include "policy_test_env.h"

namespace {

CPLXPolicyDwordSetting vlsInstall(DWORD dwDefault = 0, ULONG ulSource = PLX_POLICY_SOURCE_REGISTRY,
                                  const char* szSubKey = "Vaultline Security Suite", bool bMirror32 = false) {
    return CPLXPolicyDwordSetting(TEXT("Orvane"), TEXT("PLX Common"), 1, ulSource, TEXT("1.0"), TEXT("VLSInstall"),
                                  plxStr(szSubKey), dwDefault, bMirror32);
}

CPLXPolicyStringSetting adminUser(bool bExpand = false, bool bMirror32 = false) {
    return CPLXPolicyStringSetting(TEXT("Orvane"), TEXT("PLX Common"), 3, PLX_POLICY_SOURCE_REGISTRY, TEXT("1.0"),
                                   TEXT("AdminUser"), TEXT("Vaultline Security Suite"), CPLXWCharString(), bExpand,
                                   bMirror32);
}

const CPLXWCharString kNoSubstitution;

TEST(PolicyLocationTest, RootKeysAndPathsOfTheSixLocations) {
    CPLXPolicyDwordSetting setting = vlsInstall();
    struct Case {
        PolicyLocation location;
        HKEY hRoot;
        const char* szPath;
    } cases[] = {
        {plMachinePolicy, HKEY_LOCAL_MACHINE, POLICY_MACHINE_POLICY_KEY},
        {plUserPolicy, HKEY_CURRENT_USER, POLICY_MACHINE_POLICY_KEY},
        {plMachinePolicyUserDefaults, HKEY_LOCAL_MACHINE, POLICY_POLICY_DEFAULTS_KEY},
        {plMachine, HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY},
        {plUser, HKEY_CURRENT_USER, POLICY_PRODUCT_KEY},
        {plMachineUserDefaults, HKEY_LOCAL_MACHINE, POLICY_PRODUCT_DEFAULTS_KEY},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plxPolicyRootKey(c.location), c.hRoot) << c.location;
        EXPECT_EQ(plxNarrow(setting.getValueLocation(c.location, kNoSubstitution)), c.szPath) << c.location;
    }
}

TEST(PolicyLocationTest, ValuesThatAreNoSingleLocation) {
    CPLXPolicyDwordSetting setting = vlsInstall();
    // Several bits: the highest counts.
    EXPECT_EQ(plxPolicyRootKey(static_cast<PolicyLocation>(3)), HKEY_CURRENT_USER);
    EXPECT_EQ(plxPolicyLocationIndex(static_cast<PolicyLocation>(3)), 1u);
    EXPECT_EQ(plxPolicyLocationIndex(static_cast<PolicyLocation>(40)), 5u);
    // 0 and bits outside the six are plMachinePolicy.
    for (DWORD dwValue : {0u, 64u, 65u, 0x80000000u}) {
        const PolicyLocation location = static_cast<PolicyLocation>(dwValue);
        EXPECT_EQ(plxPolicyLocationIndex(location), 0u) << dwValue;
        EXPECT_EQ(plxPolicyRootKey(location), HKEY_LOCAL_MACHINE) << dwValue;
        EXPECT_EQ(plxNarrow(setting.getValueLocation(location, kNoSubstitution)), POLICY_MACHINE_POLICY_KEY);
    }
}

TEST(PolicyLocationTest, SubKeys) {
    CPLXPolicyDwordSetting none = vlsInstall(0, PLX_POLICY_SOURCE_REGISTRY, "");
    EXPECT_EQ(plxNarrow(none.getValueLocation(plMachineUserDefaults, kNoSubstitution)),
              "Software\\Orvane\\PLX Common\\User Defaults");
    EXPECT_EQ(plxNarrow(none.getValueLocation(plUser, kNoSubstitution)), "Software\\Orvane\\PLX Common");

    CPLXPolicyDwordSetting leading = vlsInstall(0, PLX_POLICY_SOURCE_REGISTRY, "\\Sub");
    EXPECT_EQ(plxNarrow(leading.getValueLocation(plMachine, kNoSubstitution)), "Software\\Orvane\\PLX Common\\Sub");

    CPLXPolicyDwordSetting nested = vlsInstall(0, PLX_POLICY_SOURCE_REGISTRY, "A\\B");
    EXPECT_EQ(plxNarrow(nested.getValueLocation(plUserPolicy, kNoSubstitution)),
              "Software\\Policies\\Orvane\\PLX Common\\A\\B");

    nested.setSubKey(CPLXWCharString());
    EXPECT_EQ(plxNarrow(nested.getValueLocation(plMachine, kNoSubstitution)), "Software\\Orvane\\PLX Common");
}

TEST(PolicyLocationTest, EmptyNamesDeleteTheirPlaceholders) {
    CPLXPolicyDwordSetting setting(CPLXWCharString(), TEXT("PLX Common"), 1, PLX_POLICY_SOURCE_REGISTRY, TEXT("1.0"),
                                   TEXT("VLSInstall"), CPLXWCharString(), 0, false);
    EXPECT_EQ(plxNarrow(setting.getValueLocation(plMachine, kNoSubstitution)), "Software\\\\PLX Common");
}

TEST(PolicyLocationTest, Substitutions) {
    CPLXPolicyDwordSetting setting = vlsInstall(0, PLX_POLICY_SOURCE_REGISTRY, "Users\\%USER%");
    // KEY=VALUE replaces the first occurrence of KEY.
    EXPECT_EQ(plxNarrow(setting.getValueLocation(plUser, plxStr("%USER%=alice"))),
              "Software\\Orvane\\PLX Common\\Users\\alice");
    // KEY before the first "=", VALUE after the last.
    EXPECT_EQ(plxNarrow(setting.getValueLocation(plUser, plxStr("%USER%=x=bob"))),
              "Software\\Orvane\\PLX Common\\Users\\bob");
    EXPECT_EQ(plxNarrow(setting.getValueLocation(plUser, plxStr("PLX Common=Other"))),
              "Software\\Orvane\\Other\\Users\\%USER%");
    // Placeholders are filled in before the substitution, "%VALUE_NAME%" never
    // touches the path, and a text without "=" or with an empty part is ignored.
    const std::string plain = "Software\\Orvane\\PLX Common\\Users\\%USER%";
    for (const char* szIgnored : {"%PRODUCT_NAME%=Other", "%VALUE_NAME%=Users", "%USER%", "=alice", "%USER%="}) {
        EXPECT_EQ(plxNarrow(setting.getValueLocation(plUser, plxStr(szIgnored))), plain) << szIgnored;
    }
}

TEST(PolicyLocationTest, ResolveValueName) {
    CPLXPolicyDwordSetting setting = vlsInstall();
    CPLXDblList<CPLXWCharString> substitutions;
    EXPECT_EQ(plxNarrow(setting.resolveValueName(substitutions)), "VLSInstall");

    substitutions.add(plxStr("A=B"));
    substitutions.add(plxStr("no equals sign"));
    EXPECT_EQ(plxNarrow(setting.resolveValueName(substitutions)), "VLSInstall");

    substitutions.add(plxStr("%VALUE_NAME%=Alt"));
    substitutions.add(plxStr("%VALUE_NAME%=Second"));
    EXPECT_EQ(plxNarrow(setting.resolveValueName(substitutions)), "Alt");
    // Reading still uses the setting's own value name.
    EXPECT_EQ(plxNarrow(setting.getValueName()), "VLSInstall");
}

class PolicySettingTest : public PolicyTest {};

TEST_F(PolicySettingTest, MissingValueLeavesOutAndCacheAlone) {
    CPLXPolicyDwordSetting setting = vlsInstall(1);
    for (PolicyLocation location :
         {plMachinePolicy, plUserPolicy, plMachinePolicyUserDefaults, plMachine, plUser, plMachineUserDefaults}) {
        DWORD dwOut = 77;
        EXPECT_FALSE(setting.getPolicy(location, dwOut, false, kNoSubstitution)) << location;
        EXPECT_EQ(dwOut, 77u);
    }
    EXPECT_FALSE(setting.isCached());
    EXPECT_EQ(setting.getDefaultValue(), 1u);
    // Asking the empty cache reads the registry.
    DWORD dwOut = 77;
    EXPECT_FALSE(setting.getPolicy(plUser, dwOut, true, kNoSubstitution));
    EXPECT_EQ(dwOut, 77u);
}

TEST_F(PolicySettingTest, ReadsEachLocationFromItsOwnKey) {
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_MACHINE_POLICY_KEY, "VLSInstall", 1);
    rawSetDword(HKEY_CURRENT_USER, POLICY_MACHINE_POLICY_KEY, "VLSInstall", 2);
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_POLICY_DEFAULTS_KEY, "VLSInstall", 4);
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "VLSInstall", 8);
    rawSetDword(HKEY_CURRENT_USER, POLICY_PRODUCT_KEY, "VLSInstall", 16);
    rawSetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_DEFAULTS_KEY, "VLSInstall", 32);
    CPLXPolicyDwordSetting setting = vlsInstall();
    for (DWORD dwLocation : {1u, 2u, 4u, 8u, 16u, 32u}) {
        DWORD dwOut = 0;
        EXPECT_TRUE(setting.getPolicy(static_cast<PolicyLocation>(dwLocation), dwOut, false, kNoSubstitution));
        EXPECT_EQ(dwOut, dwLocation);
        EXPECT_TRUE(setting.isCached());
        EXPECT_EQ(setting.getCachedValue(), dwLocation);
    }
}

TEST_F(PolicySettingTest, CacheAnswersOnlyWhenAskedTo) {
    CPLXPolicyDwordSetting setting = vlsInstall();
    ASSERT_TRUE(setting.setPolicy(plUser, 5, true, kNoSubstitution, false));
    DWORD dwStored = 0;
    ASSERT_TRUE(rawGetDword(HKEY_CURRENT_USER, POLICY_PRODUCT_KEY, "VLSInstall", dwStored));
    EXPECT_EQ(dwStored, 5u);

    rawSetDword(HKEY_CURRENT_USER, POLICY_PRODUCT_KEY, "VLSInstall", 9);
    DWORD dwOut = 0;
    // The cache answers for any location once it is filled.
    EXPECT_TRUE(setting.getPolicy(plMachine, dwOut, true, kNoSubstitution));
    EXPECT_EQ(dwOut, 5u);
    EXPECT_TRUE(setting.getPolicy(plUser, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 9u);
    EXPECT_EQ(setting.getCachedValue(), 9u);
    // A failed read keeps the cache.
    EXPECT_FALSE(setting.getPolicy(plMachine, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 9u);
    EXPECT_TRUE(setting.getPolicy(plMachine, dwOut, true, kNoSubstitution));
    EXPECT_EQ(dwOut, 9u);
}

TEST_F(PolicySettingTest, WritingIntoAMissingKeyNeedsCreate) {
    CPLXPolicyDwordSetting setting = vlsInstall();
    EXPECT_FALSE(setting.setPolicy(plMachinePolicy, 1, false, kNoSubstitution, false));
    EXPECT_FALSE(rawKeyExists(HKEY_LOCAL_MACHINE, POLICY_MACHINE_POLICY_KEY));
    EXPECT_FALSE(setting.isCached());

    EXPECT_TRUE(setting.setPolicy(plMachinePolicy, 1, true, kNoSubstitution, false));
    DWORD dwStored = 0;
    EXPECT_TRUE(rawGetDword(HKEY_LOCAL_MACHINE, POLICY_MACHINE_POLICY_KEY, "VLSInstall", dwStored));
    EXPECT_EQ(dwStored, 1u);
    // The key exists now: writing without create succeeds.
    EXPECT_TRUE(setting.setPolicy(plMachinePolicy, 2, false, kNoSubstitution, false));
    EXPECT_TRUE(rawGetDword(HKEY_LOCAL_MACHINE, POLICY_MACHINE_POLICY_KEY, "VLSInstall", dwStored));
    EXPECT_EQ(dwStored, 2u);
}

TEST_F(PolicySettingTest, SubstitutionChoosesTheKey) {
    CPLXPolicyDwordSetting setting = vlsInstall(0, PLX_POLICY_SOURCE_REGISTRY, "Users\\%USER%");
    ASSERT_TRUE(setting.setPolicy(plUser, 3, true, plxStr("%USER%=alice"), false));
    DWORD dwStored = 0;
    EXPECT_TRUE(rawGetDword(HKEY_CURRENT_USER, "Software\\Orvane\\PLX Common\\Users\\alice", "VLSInstall", dwStored));
    EXPECT_EQ(dwStored, 3u);
    DWORD dwOut = 0;
    EXPECT_FALSE(setting.getPolicy(plUser, dwOut, false, plxStr("%USER%=bob")));
    EXPECT_TRUE(setting.getPolicy(plUser, dwOut, false, plxStr("%USER%=alice")));
    EXPECT_EQ(dwOut, 3u);
}

TEST_F(PolicySettingTest, UnsupportedSourceIsReportedAndFails) {
    PlxLoggingOn on("policysource");
    CPLXPolicyDwordSetting setting = vlsInstall(1, 2);
    rawSetDword(HKEY_CURRENT_USER, POLICY_PRODUCT_KEY, "VLSInstall", 4);
    DWORD dwOut = 77;
    EXPECT_FALSE(setting.getPolicy(plUser, dwOut, false, kNoSubstitution));
    EXPECT_EQ(dwOut, 77u);
    EXPECT_FALSE(setting.setPolicy(plMachine, 5, true, kNoSubstitution, false));
    EXPECT_FALSE(rawKeyExists(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY));
    EXPECT_FALSE(setting.getValueLocation(plUser, kNoSubstitution).isValid());
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(countLines(entries, {"<EXCEPTION_BAD>", "\"Policy source is not supported.\""}), 3u);

    CPLXPolicyStringSetting text(TEXT("Orvane"), TEXT("PLX Common"), 3, 0, TEXT("1.0"), TEXT("AdminUser"),
                                 CPLXWCharString(), CPLXWCharString(), false, false);
    CPLXWCharString szOut(TEXT("kept"));
    EXPECT_FALSE(text.getPolicy(plUser, szOut, false, kNoSubstitution));
    EXPECT_EQ(plxNarrow(szOut), "kept");
    EXPECT_FALSE(text.setPolicy(plUser, szOut, true, kNoSubstitution, false));
}

TEST_F(PolicySettingTest, DwordMirror32AlsoWritesThe32BitView) {
    CPLXPolicyDwordSetting mirrored = vlsInstall(0, PLX_POLICY_SOURCE_REGISTRY, "Vaultline Security Suite", true);
    ASSERT_TRUE(mirrored.setPolicy(plMachine, 6, true, kNoSubstitution, false));
    DWORD dwStored = 0;
    EXPECT_TRUE(rawGetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "VLSInstall", dwStored));
    EXPECT_EQ(dwStored, 6u);
    EXPECT_TRUE(rawGetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "VLSInstall", dwStored, KEY_WOW64_32KEY));
    EXPECT_EQ(dwStored, 6u);
}

TEST_F(PolicySettingTest, WithoutMirror32OnlyTheOwnViewIsWritten) {
    // Only a 64-bit process has a second view of its own key to leave alone.
    if (PLX_SIMULATED_MACHINE || sizeof(void*) != 8) GTEST_SKIP() << "the process's own view is the 32-bit view";
    CPLXPolicyDwordSetting plain = vlsInstall();
    ASSERT_TRUE(plain.setPolicy(plMachine, 6, true, kNoSubstitution, false));
    DWORD dwStored = 0;
    EXPECT_TRUE(rawGetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "VLSInstall", dwStored, KEY_WOW64_64KEY));
    EXPECT_FALSE(rawGetDword(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "VLSInstall", dwStored, KEY_WOW64_32KEY));
}

TEST_F(PolicySettingTest, StringSettingReadsAndWritesRegSz) {
    CPLXPolicyStringSetting setting = adminUser(false, true);
    CPLXWCharString szOut(TEXT("kept"));
    EXPECT_FALSE(setting.getPolicy(plUser, szOut, false, kNoSubstitution));
    EXPECT_EQ(plxNarrow(szOut), "kept");

    ASSERT_TRUE(setting.setPolicy(plMachine, plxStr("Administrator"), true, kNoSubstitution, false));
    std::string text;
    DWORD dwType = 0;
    ASSERT_TRUE(rawGetString(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "AdminUser", text, dwType));
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text, "Administrator");
    // m_bMirror32: the 32-bit view holds the value too.
    ASSERT_TRUE(rawGetString(HKEY_LOCAL_MACHINE, POLICY_PRODUCT_KEY, "AdminUser", text, dwType, KEY_WOW64_32KEY));
    EXPECT_EQ(text, "Administrator");

    rawSetString(HKEY_CURRENT_USER, POLICY_PRODUCT_KEY, "AdminUser", "jdoe");
    EXPECT_TRUE(setting.getPolicy(plUser, szOut, false, kNoSubstitution));
    EXPECT_EQ(plxNarrow(szOut), "jdoe");
    EXPECT_EQ(plxNarrow(setting.getCachedValue()), "jdoe");
}

TEST_F(PolicySettingTest, ExpandSettingStoresExpandSzAndExpandsOnRead) {
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXPOLICYTESTDIR"), TEXT("C:\\Data")));
    CPLXPolicyStringSetting setting = adminUser(true);
    ASSERT_TRUE(setting.setPolicy(plUser, plxStr("%PLXPOLICYTESTDIR%\\x"), true, kNoSubstitution, false));
    std::string text;
    DWORD dwType = 0;
    ASSERT_TRUE(rawGetString(HKEY_CURRENT_USER, POLICY_PRODUCT_KEY, "AdminUser", text, dwType));
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(text, "%PLXPOLICYTESTDIR%\\x");

    CPLXWCharString szOut;
    EXPECT_TRUE(setting.getPolicy(plUser, szOut, false, kNoSubstitution));
    EXPECT_EQ(plxNarrow(szOut), "C:\\Data\\x");
    // A text that is no expandable value is refused and not cached.
    EXPECT_FALSE(setting.setPolicy(plUser, plxStr("50%"), true, kNoSubstitution, false));
    EXPECT_EQ(plxNarrow(setting.getCachedValue()), "C:\\Data\\x");
    SetEnvironmentVariableW(TEXT("PLXPOLICYTESTDIR"), nullptr);
}

TEST_F(PolicySettingTest, CopiesAndComparisons) {
    CPLXPolicyDwordSetting source = vlsInstall(1);
    ASSERT_TRUE(source.setPolicy(plUser, 4, true, kNoSubstitution, false));

    CPLXPolicyDwordSetting copy;
    EXPECT_FALSE(copy.isCached());
    EXPECT_EQ(copy.getSource(), static_cast<ULONG>(PLX_POLICY_SOURCE_REGISTRY));
    EXPECT_EQ(copy.getType(), static_cast<ULONG>(PLX_POLICY_TYPE_DWORD));
    EXPECT_FALSE(copy == source);
    copy = source;
    EXPECT_TRUE(copy == source);
    EXPECT_FALSE(copy != source);
    EXPECT_TRUE(copy.isCached());
    EXPECT_EQ(copy.getCachedValue(), 4u);
    EXPECT_EQ(plxNarrow(copy.getVersion()), "1.0");
    EXPECT_EQ(plxNarrow(copy.getSubKey()), "Vaultline Security Suite");

    // The cache takes no part in equality; the definition does.
    CPLXPolicyDwordSetting fresh = vlsInstall(1);
    EXPECT_TRUE(fresh == source);
    fresh.setDefaultValue(2);
    EXPECT_TRUE(fresh != source);
    CPLXPolicyDwordSetting renamed = vlsInstall(1);
    renamed.setValueName(plxStr("Other"));
    EXPECT_TRUE(renamed != source);
    EXPECT_TRUE(vlsInstall(1, PLX_POLICY_SOURCE_REGISTRY, "Vaultline Security Suite", true) != source);

    // Order is by identifier only.
    CPLXPolicyDwordSetting higher(TEXT("Zeta"), TEXT("Other"), 2, PLX_POLICY_SOURCE_REGISTRY, TEXT("9"), TEXT("A"),
                                  CPLXWCharString(), 0, false);
    EXPECT_TRUE(source < higher);
    EXPECT_TRUE(higher > source);
    EXPECT_FALSE(source > higher);
    EXPECT_FALSE(source < copy);
    EXPECT_FALSE(source > copy);

    CPLXPolicyStringSetting expand = adminUser(true);
    CPLXPolicyStringSetting target;
    EXPECT_EQ(target.getType(), static_cast<ULONG>(PLX_POLICY_TYPE_STRING));
    EXPECT_FALSE(target.isExpand());
    target = expand;
    EXPECT_TRUE(target.isExpand());
    EXPECT_EQ(target.getType(), static_cast<ULONG>(PLX_POLICY_TYPE_STRING));
    EXPECT_TRUE(target == expand);
}

}  // namespace
