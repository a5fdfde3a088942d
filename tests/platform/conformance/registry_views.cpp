// WOW64 registry views.  On 64-bit Windows HKLM\SOFTWARE has a 64-bit view
// and a 32-bit one that lives under HKLM\SOFTWARE\WOW6432Node; a 32-bit
// program (the installer) sees the 32-bit view unless it asks for
// KEY_WOW64_64KEY, a 64-bit program the 64-bit one unless it asks for
// KEY_WOW64_32KEY.  Keys outside HKLM\SOFTWARE, and a few inside it, are
// shared by both views.  32-bit Windows has one view and ignores the flags.
// Every case says what it expects of each kind of process.
#include "plx_test_machine.h"
#include "registry_conformance.h"

namespace {

const WCHAR kBase[] = TEXT("SOFTWARE\\PLXConformance");

bool oneView() { return plxProcessKind() == PlxProcessKind::X86OnX86; }

LSTATUS openKey(HKEY root, const WString& path, REGSAM view, ScopedKey& key) {
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.out());
}

bool keyExists(HKEY root, const WString& path, REGSAM view) {
    ScopedKey key;
    return openKey(root, path, view, key) == ERROR_SUCCESS;
}

// HKLM\SOFTWARE\x as the 64-bit view names the 32-bit view's key.
WString redirected(const WString& path) { return TEXT("SOFTWARE\\WOW6432Node") + path.substr(8); }

class RegistryViews : public RegistryCase {
protected:
    explicit RegistryViews(REGSAM view = KEY_WOW64_32KEY) : RegistryCase(HKEY_LOCAL_MACHINE, kBase, view) {}
};

class RegistryDefaultView : public RegistryViews {
protected:
    RegistryDefaultView() : RegistryViews(0) {}
};

TEST_F(RegistryDefaultView, IsTheProcesssOwn) {
    // The fixture made the key without a view flag.
    switch (plxProcessKind()) {
    case PlxProcessKind::Wow64:
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, redirected(path()), KEY_WOW64_64KEY));
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, path(), KEY_WOW64_64KEY));
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, path(), KEY_WOW64_32KEY));
        break;
    case PlxProcessKind::X64:
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, path(), KEY_WOW64_64KEY));
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, path(), KEY_WOW64_32KEY));
        break;
    case PlxProcessKind::X86OnX86:
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, path(), KEY_WOW64_64KEY));
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, path(), KEY_WOW64_32KEY));
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, redirected(path()), 0));
        break;
    }
    // Names are case-insensitive here too: "software" is redirected as well.
    WString lower = TEXT("software") + path().substr(8);
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, lower, 0));
}

TEST_F(RegistryViews, FlagsReachEitherView) {
    // The fixture made the key in the 32-bit view; this one goes to the 64-bit view.
    WString path64 = path() + TEXT("_64");
    ScopedKey made;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path64.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, made.out(), nullptr));
    made.reset();
    bool single = oneView();
    EXPECT_EQ(single, keyExists(HKEY_LOCAL_MACHINE, path(), KEY_WOW64_64KEY));
    EXPECT_EQ(!single, keyExists(HKEY_LOCAL_MACHINE, redirected(path()), KEY_WOW64_64KEY));
    EXPECT_EQ(single, keyExists(HKEY_LOCAL_MACHINE, path64, KEY_WOW64_32KEY));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, path64, KEY_WOW64_64KEY));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path64.c_str(), KEY_WOW64_64KEY, 0));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, path64, KEY_WOW64_64KEY));
    ScopedKey base;
    if (openKey(HKEY_LOCAL_MACHINE, kBase, KEY_WOW64_64KEY, base) == ERROR_SUCCESS && subKeyNames(base.get()).empty()) {
        base.reset();
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kBase, KEY_WOW64_64KEY, 0);
    }
}

TEST_F(RegistryViews, SubKeysOfAViewHandleStayInItsView) {
    ScopedKey child;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("child"), child));
    ScopedKey parent, viaParent;
    ASSERT_EQ(ERROR_SUCCESS, openKey(HKEY_LOCAL_MACHINE, kBase, KEY_WOW64_32KEY, parent));
    WString leaf = path().substr(std::char_traits<WCHAR>::length(kBase) + 1) + TEXT("\\child");
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(parent.get(), leaf.c_str(), 0, KEY_READ, viaParent.out()));
    std::vector<WString> names = subKeyNames(key());
    ASSERT_EQ(1u, names.size());
    EXPECT_TRUE(names[0] == TEXT("child"));
}

// Windows 7 keeps a handle's view for the keys below it, whatever flag their
// call names; WOW6432Node below a 32-bit handle does not lead to that view.
TEST_F(RegistryViews, KeysBelowAHandleKeepItsView) {
    ScopedKey child, software, viaNode;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key(), TEXT("child"), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                                             nullptr, child.out(), nullptr));
    EXPECT_EQ(oneView(), keyExists(HKEY_LOCAL_MACHINE, path() + TEXT("\\child"), KEY_WOW64_64KEY));
    ASSERT_EQ(ERROR_SUCCESS, openKey(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE"), KEY_WOW64_32KEY, software));
    WString viaNodePath = TEXT("WOW6432Node") + path().substr(8);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(software.get(), viaNodePath.c_str(), 0, KEY_READ, viaNode.out()));
}

TEST_F(RegistryViews, EnumerationAndCountsFollowTheView) {
    // The same key in the 64-bit view, with other sub keys.
    ScopedKey other, a, b, c;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path().c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, other.out(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("in32"), a));
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(other.get(), TEXT("in64a"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, b.out(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(other.get(), TEXT("in64b"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, c.out(), nullptr));
    DWORD count32 = 0, count64 = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key(), nullptr, nullptr, nullptr, &count32, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(other.get(), nullptr, nullptr, nullptr, &count64, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr));
    if (oneView()) {
        EXPECT_EQ(3u, count32);
        EXPECT_EQ(3u, count64);
        EXPECT_EQ(3u, subKeyNames(key()).size());
    } else {
        EXPECT_EQ(1u, count32);
        EXPECT_EQ(2u, count64);
        EXPECT_TRUE(subKeyNames(key()) == std::vector<WString>{TEXT("in32")});
        EXPECT_TRUE((subKeyNames(other.get()) == std::vector<WString>{TEXT("in64a"), TEXT("in64b")}));
    }
    other.reset();
    if (!oneView()) {
        ScopedKey base;
        ASSERT_EQ(ERROR_SUCCESS, openKey(HKEY_LOCAL_MACHINE, kBase, KEY_WOW64_64KEY, base));
        WString leaf = path().substr(std::char_traits<WCHAR>::length(kBase) + 1);
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(base.get(), leaf.c_str()));
        bool empty = subKeyNames(base.get()).empty();
        base.reset();
        if (empty) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kBase, KEY_WOW64_64KEY, 0);
    }
}

TEST(RegistryWow6432Node, IsASubKeyOfSoftwareInThe64BitViewOnly) {
    auto listsNode = [](REGSAM view) {
        ScopedKey software;
        if (openKey(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE"), view, software) != ERROR_SUCCESS) return false;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD count = 256;
            if (RegEnumKeyExW(software.get(), i, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                return false;
            if (lstrcmpiW(name, TEXT("WOW6432Node")) == 0) return true;
        }
    };
    if (oneView()) {
        EXPECT_FALSE(listsNode(0));
    } else {
        EXPECT_TRUE(listsNode(KEY_WOW64_64KEY));
        EXPECT_FALSE(listsNode(KEY_WOW64_32KEY));
    }
}

// Keys that 64-bit Windows (7 and later) shares between the views, and some
// it redirects, created in the 32-bit view and looked for in the 64-bit one.
struct ViewedKey {
    HKEY root;
    const WCHAR* path;
    bool shared;
    const char* wine64Difference;  // why a 64-bit process under Wine sees it otherwise, or null
};

class RegistrySharedKeys : public ::testing::TestWithParam<ViewedKey> {};

TEST_P(RegistrySharedKeys, AreSeenInBothViews) {
    const ViewedKey& k = GetParam();
    if (k.wine64Difference && plxIsWine() && plxProcessKind() == PlxProcessKind::X64)
        GTEST_SKIP() << k.wine64Difference;
    WString path = k.path;
    ScopedKey made;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(k.root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                             nullptr, made.out(), nullptr));
    made.reset();
    EXPECT_EQ(k.shared || oneView(), keyExists(k.root, path, KEY_WOW64_64KEY)) << plxProcessKindName(plxProcessKind());
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyExW(k.root, path.c_str(), KEY_WOW64_32KEY, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, RegistrySharedKeys,
    ::testing::Values(ViewedKey{HKEY_CURRENT_USER, TEXT("Software\\PLXConformanceShared"), true, nullptr},
                      ViewedKey{HKEY_LOCAL_MACHINE, TEXT("SYSTEM\\PLXConformanceShared"), true, nullptr},
                      ViewedKey{HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Policies\\PLXConformanceShared"), true, nullptr},
                      ViewedKey{HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Classes\\PLXConformanceShared"), true,
                                "Wine's 64-bit processes redirect HKLM\\SOFTWARE\\Classes of the 32-bit view"},
                      ViewedKey{HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Classes\\CLSID\\PLXConformanceShared"), false,
                                nullptr},
                      ViewedKey{HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\PLXConformanceShared"), false, nullptr}));

}  // namespace
