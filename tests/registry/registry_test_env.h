// Shared pieces of the registry tests: a machine per case with the case's
// key below HKEY_CURRENT_USER\Software\PLXTest (or HKLM\SOFTWARE\PLXTest with
// an explicit view), raw Win32 access to check what the classes did, and the
// diagnostic log to check what they reported.
#ifndef PLX_REGISTRY_TEST_ENV_H
#define PLX_REGISTRY_TEST_ENV_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../logging/plx_log_test_env.h"
#include "plx_dbllist.h"
#include "plx_scoped_handle.h"
#include "plx_test_machine.h"
#include "plx_wchar_string.h"
#include "plx_win32.h"

inline std::vector<std::string> plxNames(CPLXDblList<CPLXWCharString>& list) {
    std::vector<std::string> names;
    if (list.getCount() == 0) return names;
    list.moveFirst();
    do {
        names.push_back(plxNarrow(*list.getCurrentPointer()));
    } while (list.moveNext());
    return names;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_case = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_path = "Software\\PLXTest\\" + m_case;
    }
    void TearDown() override {
        if (!PLX_SIMULATED_MACHINE) {
            RegDeleteTreeW(HKEY_CURRENT_USER, plxW(m_path.c_str()).c_str());
            for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
                CPLXScopedRegKey hKey;
                if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\PLXTest"), 0, KEY_ALL_ACCESS | view,
                                  hKey.out()) == ERROR_SUCCESS) {
                    RegDeleteTreeW(hKey.get(), plxW(m_case.c_str()).c_str());
                }
            }
        }
    }

    // A machine whose case key holds the .reg value lines `values`, plus
    // further .reg text (sub keys, other keys).
    TestMachine& machine(const std::string& values, const std::string& more = "") {
        m_machine.reg("[HKEY_CURRENT_USER\\" + m_path + "]\n" + values + "\n" + more);
        return m_machine;
    }
    void create(const std::string& values, const std::string& more = "") { machine(values, more).create(); }

    // The case key, or a path below it.
    CPLXWCharString path(const std::string& below = "") const {
        return plxStr(below.empty() ? m_path : m_path + "\\" + below);
    }
    std::string regPath(const std::string& below = "") const {
        return "[HKEY_CURRENT_USER\\" + m_path + (below.empty() ? "" : "\\" + below) + "]\n";
    }

    // RegQueryValueExW of a value of the case key.
    LONG rawQuery(const char* szName, DWORD& dwType, std::vector<BYTE>& data, HKEY hRoot = HKEY_CURRENT_USER,
                  const std::string& keyPath = "", REGSAM view = 0) const {
        CPLXScopedRegKey hKey;
        LONG lResult = RegOpenKeyExW(hRoot, plxW((keyPath.empty() ? m_path : keyPath).c_str()).c_str(), 0,
                                     KEY_READ | view, hKey.out());
        if (lResult != ERROR_SUCCESS) return lResult;
        DWORD cbData = 0;
        lResult = RegQueryValueExW(hKey.get(), plxW(szName).c_str(), nullptr, &dwType, nullptr, &cbData);
        data.assign(cbData, 0);
        if (lResult == ERROR_SUCCESS && cbData) {
            lResult = RegQueryValueExW(hKey.get(), plxW(szName).c_str(), nullptr, &dwType, data.data(), &cbData);
        }
        return lResult;
    }
    // Writes a value of the case key.
    void rawSet(const char* szName, DWORD dwType, const void* pData, DWORD cbData) const {
        CPLXScopedRegKey hKey;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExW(HKEY_CURRENT_USER, plxW(m_path.c_str()).c_str(), 0, KEY_ALL_ACCESS, hKey.out()));
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(hKey.get(), plxW(szName).c_str(), 0, dwType, static_cast<const BYTE*>(pData), cbData));
    }
    void rawSetString(const char* szName, const std::string& text) const {
        PlxWString units = plxW(text.c_str());
        rawSet(szName, REG_SZ, units.c_str(), static_cast<DWORD>((units.size() + 1) * sizeof(WCHAR)));
    }
    bool rawKeyExists(const std::string& keyPath, HKEY hRoot = HKEY_CURRENT_USER, REGSAM view = 0) const {
        CPLXScopedRegKey hKey;
        return RegOpenKeyExW(hRoot, plxW(keyPath.c_str()).c_str(), 0, KEY_READ | view, hKey.out()) == ERROR_SUCCESS;
    }

    static bool logHas(const std::vector<std::string>& lines, std::initializer_list<std::string> pieces) {
        return plxLogHas(lines, pieces);
    }

    std::string m_case;
    std::string m_path;
    TestMachine m_machine;
};

#endif
