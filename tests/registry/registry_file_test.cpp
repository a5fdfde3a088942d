// The registry text format through exportKey(file, 8) and importKey(file, 16):
// the file's layout, what it carries and refuses, and round trips of whole
// key trees with every value type and non-ASCII names and texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plx_registry_key.h"
#include "registry_test_env.h"

namespace {

const char* const kFile = "C:\\plxtest\\export\\tree.txt";

// A key tree as text: every key, and every value with its type and bytes,
// in name order.
std::string dumpTree(HKEY hRoot, const PlxWString& path) {
    CPLXScopedRegKey hKey;
    if (RegOpenKeyExW(hRoot, path.c_str(), 0, KEY_READ, hKey.out()) != ERROR_SUCCESS) return "<missing>\n";
    std::vector<std::string> values, subKeys;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        BYTE data[4096];
        DWORD cchName = 256, cbData = sizeof data, dwType = 0;
        if (RegEnumValueW(hKey.get(), i, name, &cchName, nullptr, &dwType, data, &cbData) != ERROR_SUCCESS) break;
        std::string line = "  " + std::to_string(dwType) + " ";
        for (DWORD c = 0; c < cchName; ++c) line += std::to_string(name[c]) + ",";
        line += " =";
        for (DWORD b = 0; b < cbData; ++b) line += " " + std::to_string(data[b]);
        values.push_back(line + "\n");
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cchName = 256;
        if (RegEnumKeyExW(hKey.get(), i, name, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.push_back(plxNarrow(name, cchName));
    }
    std::sort(values.begin(), values.end());
    std::sort(subKeys.begin(), subKeys.end());
    std::string out;
    for (const std::string& v : values) out += v;
    for (const std::string& s : subKeys) out += "[" + s + "]\n" + dumpTree(hRoot, path + TEXT("\\") + plxW(s.c_str()));
    return out;
}

// The export file's text (UTF-16LE after its byte-order mark), non-ASCII as '?'.
std::string fileText(TestMachine& machine) {
    std::string bytes = machine.readFile(kFile);
    EXPECT_EQ(0, bytes.compare(0, 2, "\xFF\xFE", 2)) << "a new export file is UTF-16LE";
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return text;
}

class RegistryFileTest : public RegistryTest {
protected:
    void TearDown() override {
        DeleteFileW(plxW(kFile).c_str());
        RemoveDirectoryW(TEXT("C:\\plxtest\\export"));
        RegistryTest::TearDown();
    }
    CPLXRegistryKey key(const std::string& below = "") const {
        return CPLXRegistryKey(HKEY_CURRENT_USER, path(below), KEY_READ, false, 0);
    }
};

}  // namespace

TEST_F(RegistryFileTest, ExportWritesASectionPerKeyAndAnEntryPerValue) {
    create("\"B\"=\"x\"\n\"A\"=dword:0000000a\n\"Q\"=hex(b):01,00,00,00,00,00,00,00\n",
           regPath("S") + "\"one\"=hex:01,02,03\n" + regPath("OnlyQword") + "\"q\"=hex(b):01,00,00,00,00,00,00,00\n" +
               regPath("OnlyQword\\Below") + "\"e\"=hex(2):25,00,54,00,25,00,00,00\n");
    ASSERT_TRUE(key().exportKey(plxStr(kFile), 8, true));
    const std::string section = "[HKEY_CURRENT_USER\\" + m_path;
    // The numbers come first; other types, and keys with only those, are left
    // out.  (Windows may start the file with a blank line.)
    std::string text = fileText(m_machine);
    if (text.compare(0, 2, "\r\n") == 0) text.erase(0, 2);
    EXPECT_EQ(section + "]\r\nA=REG_DWORD:0x0000000A\r\nB=REG_SZ:\"x\"\r\n" + section +
                  "\\OnlyQword\\Below]\r\ne=REG_SZ_EXPAND:\"%T%\"\r\n" + section +
                  "\\S]\r\none=REG_BINARY:01 02 03 00\r\n",
              text);
}

TEST_F(RegistryFileTest, TreesComeBackAsTheyWere) {
    // Every carried type, a key without values, quotes and non-ASCII names and texts.
    create(
        "\"Version\"=\"8.30.20.0\"\n\"InstallPath\"=\"C:\\\\Program Files\\\\Orvane\\\\\"\n"
        "\"Quoted \\\"name\\\"\"=\"say \\\"hi\\\"\"\n\"Grüße\"=\"Тест ∑ 日本\"\n\"n\"=dword:ffffffff\n"
        "\"bin\"=hex:00,ff,10\n\"path\"=hex(2):25,00,41,00,25,00,5c,00,e9,00,00,00\n"
        "\"list\"=hex(7):61,00,00,00,14,04,00,00,00,00\n",
        regPath("PLX Common\\Vaultline Security Suite") + "\"VLSInstall\"=dword:00000001\n" + regPath("Empty"));
    const std::string before = dumpTree(HKEY_CURRENT_USER, plxW(m_path.c_str()));
    ASSERT_TRUE(key().exportKey(plxStr(kFile), 8, true));
    RegDeleteTreeW(HKEY_CURRENT_USER, plxW(m_path.c_str()).c_str());
    ASSERT_EQ("<missing>\n", dumpTree(HKEY_CURRENT_USER, plxW(m_path.c_str())));
    // The importing key's own root and path play no part.
    CPLXRegistryKey elsewhere(HKEY_LOCAL_MACHINE, plxStr("SOFTWARE\\Elsewhere"), KEY_READ, false, 0);
    ASSERT_TRUE(elsewhere.importKey(plxStr(kFile), 16));
    const std::string after = dumpTree(HKEY_CURRENT_USER, plxW(m_path.c_str()));
    // The odd binary value comes back with its zero byte.
    std::string expected = before;
    expected.replace(expected.find(" = 0 255 16\n"), 12, " = 0 255 16 0\n");
    EXPECT_EQ(expected, after);
    EXPECT_FALSE(rawKeyExists("SOFTWARE\\Elsewhere", HKEY_LOCAL_MACHINE));
}

TEST_F(RegistryFileTest, AnExportAddsToAnExistingFileUnlessOverwriting) {
    create("\"a\"=\"1\"\n", regPath("Other") + "\"b\"=\"2\"\n");
    ASSERT_TRUE(key("Other").exportKey(plxStr(kFile), 8, true));
    ASSERT_TRUE(key().exportKey(plxStr(kFile), 8, false));
    std::string both = fileText(m_machine);
    EXPECT_NE(std::string::npos, both.find("Other]\r\nb=REG_SZ:\"2\"")) << both;
    EXPECT_NE(std::string::npos, both.find(m_case + "]\r\na=REG_SZ:\"1\"")) << both;
    ASSERT_TRUE(key("Other").exportKey(plxStr(kFile), 8, true));
    EXPECT_EQ(std::string::npos, fileText(m_machine).find("a=REG_SZ")) << "overwritten";
}

TEST_F(RegistryFileTest, AKeyThatDoesNotExistIsNotExported) {
    create("\"a\"=\"1\"\n", "");
    ASSERT_TRUE(key().exportKey(plxStr(kFile), 8, true));
    const std::string before = m_machine.readFile(kFile);
    // Neither a new file nor a section that an import would turn into a key.
    EXPECT_FALSE(key("Missing").exportKey(plxStr(kFile), 8, false));
    EXPECT_FALSE(key("Missing").exportKey(plxStr(kFile), 8, true));
    EXPECT_EQ(before, m_machine.readFile(kFile));
}

TEST_F(RegistryFileTest, ImportTakesWhatItUnderstandsAndCreatesEmptyKeys) {
    // A hand-written file: an unknown root, a section without entries, and
    // lines that are not values of a known type.
    std::string text = "[HKLM\\SOFTWARE\\PLXTest\\" + m_case + "]\r\nn=REG_DWORD:0x0000002A\r\n[HKEY_CURRENT_USER\\" +
                       m_path + "\\Empty]\r\n[HKEY_CURRENT_USER\\" + m_path +
                       "]\r\nbad=REG_DWORD:zz\r\nq=REG_QWORD:1\r\nnoColon=REG_SZ\r\ns=REG_SZ:\"ok\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char c : text) bytes += std::string{c, '\0'};
    m_machine.file(kFile, bytes);
    create("");
    ASSERT_TRUE(key().importKey(plxStr(kFile), 16));
    EXPECT_TRUE(rawKeyExists(m_path + "\\Empty"));
    DWORD dwType = 0;
    std::vector<BYTE> data;
    EXPECT_EQ(ERROR_SUCCESS, rawQuery("n", dwType, data, HKEY_LOCAL_MACHINE, "SOFTWARE\\PLXTest\\" + m_case));
    EXPECT_EQ((std::vector<BYTE>{42, 0, 0, 0}), data);
    EXPECT_EQ(ERROR_SUCCESS, rawQuery("s", dwType, data));
    for (const char* name : {"bad", "q", "noColon"}) EXPECT_NE(ERROR_SUCCESS, rawQuery(name, dwType, data)) << name;
    // A missing file imports nothing and is no failure.
    EXPECT_TRUE(key().importKey(plxStr("C:\\plxtest\\export\\missing.txt"), 16));
}

TEST_F(RegistryFileTest, TextsWithLineBreaksAreReportedNotLost) {
    create("\"ok\"=\"1\"\n");
    rawSetString("broken", "two\r\nlines");
    PlxLoggingOn logging("ExportBreaks");
    EXPECT_FALSE(key().exportKey(plxStr(kFile), 8, true)) << "the tree was not written whole";
    EXPECT_NE(std::string::npos, fileText(m_machine).find("ok=REG_SZ:\"1\""));
    EXPECT_TRUE(logHas(logging.lines(), {"A bad argument was provided ( value ). Cannot hold a line break"}));
}

TEST_F(RegistryFileTest, ASectionTooLargeForOneReadIsReportedAndNotImported) {
    // 400 lines of 100 characters: more than the 32767 characters of one read.
    std::string text = "[HKEY_CURRENT_USER\\" + m_path + "]\r\n";
    for (int i = 0; i < 400; ++i)
        text += "v" + std::to_string(1000 + i) + "=REG_SZ:\"" + std::string(87, 'x') + "\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char c : text) bytes += std::string{c, '\0'};
    m_machine.file(kFile, bytes);
    create("");
    PlxLoggingOn logging("ImportCut");
    ASSERT_TRUE(key().importKey(plxStr(kFile), 16));
    DWORD dwType = 0;
    std::vector<BYTE> data;
    EXPECT_NE(ERROR_SUCCESS, rawQuery("v1000", dwType, data)) << "no value of a cut section";
    EXPECT_TRUE(logHas(logging.lines(), {"Profile data may be cut at 32767 characters", m_case}));
}
