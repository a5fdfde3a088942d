// Shared pieces of the registry conformance cases: every case works in its own
// key below HKEY_CURRENT_USER\Software\PLXConformance (or the HKLM\SOFTWARE
// equivalent with an explicit view) and deletes it afterwards.
#ifndef PLX_REGISTRY_CONFORMANCE_H
#define PLX_REGISTRY_CONFORMANCE_H

#include "plx_scoped_handle.h"
#include "plx_test_text.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

typedef PlxWString WString;

// Handle that closes itself.
typedef CPLXScopedRegKey ScopedKey;

// A fresh key named after the running test under root\base.
class RegistryCase : public ::testing::Test {
protected:
    explicit RegistryCase(HKEY root = HKEY_CURRENT_USER, const WCHAR* base = TEXT("Software\\PLXConformance"),
                          REGSAM view = 0)
        : m_root(root), m_base(base), m_view(view) {}

    void SetUp() override {
        m_path = m_base + TEXT("\\") + plxW(::testing::UnitTest::GetInstance()->current_test_info()->name());
        deleteTree();
        DWORD disposition = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_root, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view,
                                                 nullptr, m_key.out(), &disposition));
        ASSERT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    }

    void TearDown() override {
        m_key.reset();
        deleteTree();
        ScopedKey base;
        if (RegOpenKeyExW(m_root, m_base.c_str(), 0, KEY_ALL_ACCESS | m_view, base.out()) == ERROR_SUCCESS) {
            DWORD subKeys = 1, values = 1;
            RegQueryInfoKeyW(base.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr);
            base.reset();
            if (subKeys == 0 && values == 0) RegDeleteKeyExW(m_root, m_base.c_str(), m_view, 0);
        }
    }

    void deleteTree() {
        ScopedKey base;
        if (RegOpenKeyExW(m_root, m_base.c_str(), 0, KEY_ALL_ACCESS | m_view, base.out()) != ERROR_SUCCESS) return;
        WString leaf = m_path.substr(m_base.size() + 1);
        RegDeleteTreeW(base.get(), leaf.c_str());
    }

    HKEY key() const { return m_key.get(); }
    const WString& path() const { return m_path; }

    LSTATUS setString(HKEY key, const WCHAR* name, const WCHAR* text) {
        DWORD bytes = static_cast<DWORD>((std::char_traits<WCHAR>::length(text) + 1) * sizeof(WCHAR));
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    }
    LSTATUS setDword(HKEY key, const WCHAR* name, DWORD number) {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    LSTATUS createSub(HKEY parent, const WCHAR* name, ScopedKey& out, DWORD options = 0, DWORD* disposition = nullptr) {
        return RegCreateKeyExW(parent, name, 0, nullptr, options, KEY_ALL_ACCESS | m_view, nullptr, out.out(),
                               disposition);
    }

    std::vector<WString> subKeyNames(HKEY key) {
        std::vector<WString> names;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD count = 256;
            if (RegEnumKeyExW(key, i, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.push_back(WString(name, count));
        }
        return names;
    }
    std::vector<WString> valueNames(HKEY key) {
        std::vector<WString> names;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD count = 256;
            if (RegEnumValueW(key, i, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.push_back(WString(name, count));
        }
        return names;
    }

    HKEY m_root;
    WString m_base;
    REGSAM m_view;
    WString m_path;
    ScopedKey m_key;
};

#endif
