// Shared pieces of the policy tests: a fresh machine per case, the policy keys
// of the test products emptied before and after each case, raw registry access
// in the process's own view (the view the policy classes use) and in explicit
// views, and log lines to check reports and traces.
#ifndef PLX_POLICY_TEST_ENV_H
#define PLX_POLICY_TEST_ENV_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "../logging/plx_log_test_env.h"
#include "plx_policy_dword_setting.h"
#include "plx_policy_string_setting.h"
#include "plx_test_machine.h"
#include "plx_wchar_string.h"
#include "plx_win32.h"

// Key paths of the common settings.
#define POLICY_MACHINE_POLICY_KEY "Software\\Policies\\Orvane\\PLX Common\\Vaultline Security Suite"
#define POLICY_POLICY_DEFAULTS_KEY "Software\\Policies\\Orvane\\PLX Common\\User Defaults\\Vaultline Security Suite"
#define POLICY_PRODUCT_KEY "Software\\Orvane\\PLX Common\\Vaultline Security Suite"
#define POLICY_PRODUCT_DEFAULTS_KEY "Software\\Orvane\\PLX Common\\User Defaults\\Vaultline Security Suite"

class PolicyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_machine.create();
        clearKeys();
    }
    void TearDown() override { clearKeys(); }

    // Everything the tests write: the vendor's policy key and the test products' own keys.
    static void clearKeys() {
        for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (REGSAM view :
                 {static_cast<REGSAM>(0), static_cast<REGSAM>(KEY_WOW64_32KEY), static_cast<REGSAM>(KEY_WOW64_64KEY)}) {
                CPLXScopedRegKey software;
                if (RegOpenKeyExW(hRoot, TEXT("Software"), 0, KEY_ALL_ACCESS | view, software.out()) != ERROR_SUCCESS) {
                    continue;
                }
                RegDeleteTreeW(software.get(), TEXT("Policies\\Orvane"));
                RegDeleteTreeW(software.get(), TEXT("Orvane\\PLX Common"));
                RegDeleteTreeW(software.get(), TEXT("Orvane\\PLX Test"));
            }
        }
    }

    static void rawSet(HKEY hRoot, const char* szPath, const char* szName, DWORD dwType, const void* pData,
                       DWORD cbData, REGSAM view = 0) {
        CPLXScopedRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(hRoot, plxW(szPath).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                                 nullptr, key.out(), nullptr))
            << szPath;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key.get(), plxW(szName).c_str(), 0, dwType, static_cast<const BYTE*>(pData), cbData));
    }
    static void rawSetDword(HKEY hRoot, const char* szPath, const char* szName, DWORD dwValue, REGSAM view = 0) {
        rawSet(hRoot, szPath, szName, REG_DWORD, &dwValue, sizeof(dwValue), view);
    }
    static void rawSetString(HKEY hRoot, const char* szPath, const char* szName, const char* szText,
                             DWORD dwType = REG_SZ, REGSAM view = 0) {
        PlxWString units = plxW(szText);
        rawSet(hRoot, szPath, szName, dwType, units.c_str(), static_cast<DWORD>((units.size() + 1) * sizeof(WCHAR)),
               view);
    }

    // RegQueryValueExW; the status, with type and data on success.
    static LONG rawQuery(HKEY hRoot, const char* szPath, const char* szName, DWORD& dwType, std::vector<BYTE>& data,
                         REGSAM view = 0) {
        CPLXScopedRegKey key;
        LONG lResult = RegOpenKeyExW(hRoot, plxW(szPath).c_str(), 0, KEY_READ | view, key.out());
        if (lResult != ERROR_SUCCESS) return lResult;
        DWORD cbData = 0;
        lResult = RegQueryValueExW(key.get(), plxW(szName).c_str(), nullptr, &dwType, nullptr, &cbData);
        data.assign(cbData, 0);
        if (lResult == ERROR_SUCCESS && cbData != 0) {
            lResult = RegQueryValueExW(key.get(), plxW(szName).c_str(), nullptr, &dwType, data.data(), &cbData);
        }
        return lResult;
    }
    static bool rawGetDword(HKEY hRoot, const char* szPath, const char* szName, DWORD& dwValue, REGSAM view = 0) {
        DWORD dwType = 0;
        std::vector<BYTE> data;
        if (rawQuery(hRoot, szPath, szName, dwType, data, view) != ERROR_SUCCESS || dwType != REG_DWORD ||
            data.size() != 4) {
            return false;
        }
        dwValue = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
        return true;
    }
    // The text of a string value (type in dwType), without its terminator.
    static bool rawGetString(HKEY hRoot, const char* szPath, const char* szName, std::string& text, DWORD& dwType,
                             REGSAM view = 0) {
        std::vector<BYTE> data;
        if (rawQuery(hRoot, szPath, szName, dwType, data, view) != ERROR_SUCCESS) return false;
        std::u16string units = plxtext::fromUtf16leBytes(std::string(data.begin(), data.end()));
        while (!units.empty() && units.back() == 0) units.pop_back();
        text = plxtext::toUtf8(units);
        return true;
    }
    static bool rawKeyExists(HKEY hRoot, const char* szPath, REGSAM view = 0) {
        CPLXScopedRegKey key;
        return RegOpenKeyExW(hRoot, plxW(szPath).c_str(), 0, KEY_READ | view, key.out()) == ERROR_SUCCESS;
    }

    // Whether some line contains every piece, and how many lines do.
    static size_t countLines(const std::vector<std::string>& lines, std::initializer_list<std::string> pieces) {
        size_t count = 0;
        for (const std::string& line : lines) {
            bool bAll = true;
            for (const std::string& piece : pieces) bAll = bAll && line.find(piece) != std::string::npos;
            if (bAll) ++count;
        }
        return count;
    }

    TestMachine m_machine;
};

#endif
