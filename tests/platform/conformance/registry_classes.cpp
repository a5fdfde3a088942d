// HKEY_CLASSES_ROOT, the merged view of HKLM\SOFTWARE\Classes and
// HKCU\Software\Classes.  The fixture makes each case's key through it.
#include "plx_test_machine.h"
#include "registry_conformance.h"

namespace {

WString classes(const WString& path) { return TEXT("Software\\Classes\\") + path; }

class RegistryClasses : public RegistryCase {
protected:
    RegistryClasses() : RegistryCase(HKEY_CLASSES_ROOT, TEXT("PLXConformance")) {}
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, classes(TEXT("PLXConformance")).c_str());
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, classes(TEXT("CLSID\\PLXConformance")).c_str(), view, 0);
        RegistryCase::TearDown();
    }
    void make(HKEY hive, const WString& path, const WCHAR* who, REGSAM view = 0) {
        ScopedKey made;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(hive, classes(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                                 nullptr, made.out(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, setString(made.get(), TEXT("who"), who));
    }
    WString who(HKEY root, const WString& path, REGSAM view = 0) {
        ScopedKey opened;
        WCHAR text[16] = {};
        DWORD size = sizeof text - sizeof(WCHAR);
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, opened.out()) != ERROR_SUCCESS) return TEXT("none");
        RegQueryValueExW(opened.get(), TEXT("who"), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        return text;
    }
};

// The user's key comes first, with its values alone; sub keys merge.
TEST_F(RegistryClasses, TheUsersKeyComesFirstAndSubKeysMerge) {
    if (plxIsWine()) GTEST_SKIP() << "Wine's HKEY_CLASSES_ROOT shows the machine's classes only";
    EXPECT_EQ(WString(), who(HKEY_LOCAL_MACHINE, classes(path()))) << "a new key is the machine's";
    for (const WCHAR* sub : {TEXT(""), TEXT("\\both"), TEXT("\\machine")})
        make(HKEY_LOCAL_MACHINE, path() + sub, TEXT("machine"));
    for (const WCHAR* sub : {TEXT("\\both"), TEXT("\\user")}) make(HKEY_CURRENT_USER, path() + sub, TEXT("user"));
    EXPECT_EQ(WString(TEXT("user")), who(HKEY_CLASSES_ROOT, path() + TEXT("\\both")));
    EXPECT_EQ(WString(TEXT("machine")), who(HKEY_CLASSES_ROOT, path() + TEXT("\\machine")));
    ScopedKey merged;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, path().c_str(), 0, KEY_ALL_ACCESS, merged.out()));
    EXPECT_TRUE((subKeyNames(merged.get()) == std::vector<WString>{TEXT("both"), TEXT("machine"), TEXT("user")}));
    ASSERT_EQ(ERROR_SUCCESS, setString(merged.get(), TEXT("who"), TEXT("written")));
    EXPECT_EQ(WString(TEXT("written")), who(HKEY_CURRENT_USER, classes(path()))) << "values go to the key opened";
}

TEST_F(RegistryClasses, RedirectedKeysHaveTheirViews) {
    const WString clsid = TEXT("CLSID\\PLXConformance");
    make(HKEY_LOCAL_MACHINE, clsid, TEXT("64-bit"), KEY_WOW64_64KEY);
    make(HKEY_LOCAL_MACHINE, clsid, TEXT("32-bit"), KEY_WOW64_32KEY);
    const PlxProcessKind kind = plxProcessKind();
    EXPECT_EQ(WString(kind == PlxProcessKind::X64 ? TEXT("64-bit") : TEXT("32-bit")), who(HKEY_CLASSES_ROOT, clsid));
    EXPECT_EQ(WString(kind == PlxProcessKind::X86OnX86 ? TEXT("32-bit") : TEXT("64-bit")),
              who(HKEY_CLASSES_ROOT, clsid, KEY_WOW64_64KEY));
}

}  // namespace
