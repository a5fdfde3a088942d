// WOW64 registry views as 32-bit programs see them on 64-bit Windows:
// HKLM\SOFTWARE is redirected to HKLM\SOFTWARE\WOW6432Node in the 32-bit view,
// HKCU\Software is shared.  Every case names its view: the Wine run is a
// 64-bit process, the simulated machine runs 32-bit programs.
#include "registry_conformance.h"

namespace {

class RegistryViews : public RegistryCase {
protected:
    RegistryViews() : RegistryCase(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\PLXConformance"), KEY_WOW64_32KEY) {}
};

TEST_F(RegistryViews, ThirtyTwoBitKeysLiveUnderWow6432Node) {
    ScopedKey other;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, path().c_str(), 0, KEY_READ | KEY_WOW64_64KEY, other.out()));
    WString redirected = TEXT("SOFTWARE\\WOW6432Node") + path().substr(8);
    ScopedKey seen;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, redirected.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, seen.out()));
    // Names are case-insensitive here too: "software" is redirected as well.
    WString lower = TEXT("software") + path().substr(8);
    ScopedKey same;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, lower.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, same.out()));
}

TEST_F(RegistryViews, SixtyFourBitKeysAreNotSeenInTheThirtyTwoBitView) {
    WString path64 = path() + TEXT("_64");
    ScopedKey made;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path64.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, made.out(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, setDword(made.get(), TEXT("bits"), 64));
    made.reset();
    ScopedKey hidden, seen;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, path64.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, hidden.out()));
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, path64.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, seen.out()));
    seen.reset();
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path64.c_str(), KEY_WOW64_64KEY, 0));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, path64.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, seen.out()));
    ScopedKey base;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\PLXConformance"), 0, KEY_READ | KEY_WOW64_64KEY,
                      base.out()) == ERROR_SUCCESS &&
        subKeyNames(base.get()).empty()) {
        base.reset();
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\PLXConformance"), KEY_WOW64_64KEY, 0);
    }
}

TEST_F(RegistryViews, SubKeysOfAViewHandleStayInItsView) {
    ScopedKey child;
    ASSERT_EQ(ERROR_SUCCESS, createSub(key(), TEXT("child"), child));
    ScopedKey parent, viaParent;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\PLXConformance"), 0,
                                           KEY_READ | KEY_WOW64_32KEY, parent.out()));
    WString leaf = path().substr(std::char_traits<WCHAR>::length(TEXT("SOFTWARE\\PLXConformance\\"))) +
                   TEXT("\\child");
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(parent.get(), leaf.c_str(), 0, KEY_READ, viaParent.out()));
    std::vector<WString> names = subKeyNames(key());
    ASSERT_EQ(1u, names.size());
    EXPECT_TRUE(names[0] == TEXT("child"));
}

class RegistrySharedView : public RegistryCase {};

TEST_F(RegistrySharedView, CurrentUserSoftwareIsSharedByBothViews) {
    WString sub = path() + TEXT("\\shared");
    ScopedKey made, seen;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, made.out(), nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, seen.out()));
}

}  // namespace
