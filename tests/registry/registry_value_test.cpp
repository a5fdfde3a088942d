// Typed registry values: reads, writes, the cache rules and the list readers
// of the string, expandable string, number, string list and byte block classes.
#include <cstring>

#include "plx_registry_binary.h"
#include "plx_registry_dword.h"
#include "plx_registry_expand.h"
#include "plx_registry_multi_string.h"
#include "plx_registry_string.h"
#include "registry_test_env.h"

namespace {

class RegistryValueTest : public RegistryTest {};

// .reg hex bytes of UTF-16 text, with a terminator when asked for.
std::string regHexUnits(const std::string& text, bool bTerminator) {
    std::string hex;
    char szByte[8];
    for (unsigned char c : text) {
        snprintf(szByte, sizeof(szByte), "%02x,00,", c);
        hex += szByte;
    }
    if (bTerminator) hex += "00,00,";
    if (!hex.empty()) hex.pop_back();
    return hex;
}

std::string repeat(char c, size_t n) { return std::string(n, c); }

CPLXDblList<CPLXWCharString> listOf(std::initializer_list<const char*> texts) {
    CPLXDblList<CPLXWCharString> list;
    LONG lTag = 0;
    for (const char* szText : texts) list.add(plxStr(szText), lTag++);
    return list;
}

CPLXBuffer<unsigned char> bytesOf(std::initializer_list<unsigned char> bytes) {
    std::vector<unsigned char> v(bytes);
    return CPLXBuffer<unsigned char>(v.data(), static_cast<ULONG>(v.size()), 0);
}

std::vector<unsigned char> vectorOf(const CPLXBuffer<unsigned char>& buffer) {
    const unsigned char* p = buffer.getBuffer();
    return p ? std::vector<unsigned char>(p, p + buffer.getNumElems()) : std::vector<unsigned char>();
}

}  // namespace

// ---------------------------------------------------------------- CPLXRegistryString

TEST_F(RegistryValueTest, StringMissingValueWithoutCreateIsAnUnreportedFalse) {
    create("");
    PlxLoggingOn logging("StringMissing");
    CPLXRegistryString value(HKEY_CURRENT_USER, path(), plxStr("v"), KEY_ALL_ACCESS, false, 0);
    EXPECT_TRUE(value.setValue(plxStr("keep"), true));  // cache only: nothing written
    DWORD dwType = 0;
    std::vector<BYTE> data;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, rawQuery("v", dwType, data));

    CPLXWCharString out = plxStr("unchanged");
    EXPECT_FALSE(value.getValue(out, false));
    EXPECT_EQ("unchanged", plxNarrow(out));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, rawQuery("v", dwType, data));
    EXPECT_TRUE(logging.lines().empty());
    EXPECT_FALSE(value.isOpen());

    // The failed read left the cache as it was.
    EXPECT_TRUE(value.writeRegistry());
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("v", dwType, data));
    EXPECT_EQ(plxW("keep"), PlxWString(reinterpret_cast<const WCHAR*>(data.data())));
}

TEST_F(RegistryValueTest, StringMissingValueWithCreateWritesAnEmptyString) {
    create("");
    CPLXRegistryString value(HKEY_CURRENT_USER, path("New"), plxStr("v"), KEY_ALL_ACCESS, true, 0);
    CPLXWCharString out = plxStr("x");
    ASSERT_TRUE(value.getValue(out, false));
    EXPECT_FALSE(out.isValid());
    EXPECT_TRUE(value.isCacheValid());
    DWORD dwType = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("v", dwType, data, HKEY_CURRENT_USER, m_path + "\\New"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), dwType);
    EXPECT_EQ(0u, data.size());
}

TEST_F(RegistryValueTest, StringReadsAtMost520Bytes) {
    create("\"fits\"=hex(1):" + regHexUnits(repeat('a', 259), true) + "\n" +           // 520 bytes
           "\"long\"=hex(1):" + regHexUnits(repeat('b', 260), true) + "\n" +           // 522 bytes
           "\"unterminated\"=hex(1):" + regHexUnits(repeat('c', 260), false) + "\n" +  // 520 bytes
           "\"odd\"=hex(1):61,00,62,00,63\n");
    CPLXWCharString out;
    CPLXRegistryString fits(HKEY_CURRENT_USER, path(), plxStr("fits"), KEY_READ, false, 0);
    ASSERT_TRUE(fits.getValue(out, false));
    EXPECT_EQ(repeat('a', 259), plxNarrow(out));

    CPLXRegistryString tooLong(HKEY_CURRENT_USER, path(), plxStr("long"), KEY_READ, false, 0);
    out = plxStr("same").c_str();
    EXPECT_FALSE(tooLong.getValue(out, false));
    EXPECT_EQ("same", plxNarrow(out));

    // Text filling all 520 bytes without a terminator ends at the 520th byte.
    CPLXRegistryString unterminated(HKEY_CURRENT_USER, path(), plxStr("unterminated"), KEY_READ, false, 0);
    ASSERT_TRUE(unterminated.getValue(out, false));
    EXPECT_EQ(repeat('c', 260), plxNarrow(out));
    EXPECT_EQ(261u, out.getNumElems());

    // An odd last byte is a character with a zero high byte.
    CPLXRegistryString odd(HKEY_CURRENT_USER, path(), plxStr("odd"), KEY_READ, false, 0);
    ASSERT_TRUE(odd.getValue(out, false));
    EXPECT_EQ("abc", plxNarrow(out));
}

TEST_F(RegistryValueTest, StringReadsDoNotValidateTheCacheButWritesDo) {
    create("\"v\"=\"one\"\n");
    CPLXRegistryString value(HKEY_CURRENT_USER, path(), plxStr("v"), KEY_ALL_ACCESS, false, 0);
    CPLXWCharString out;
    ASSERT_TRUE(value.getValue(out, true));
    EXPECT_EQ("one", plxNarrow(out));
    EXPECT_FALSE(value.isCacheValid());
    rawSetString("v", "two");
    ASSERT_TRUE(value.getValue(out, true));  // read again: the cache is not valid yet
    EXPECT_EQ("two", plxNarrow(out));

    ASSERT_TRUE(value.setValue(plxStr("three"), false));
    EXPECT_TRUE(value.isCacheValid());
    rawSetString("v", "four");
    ASSERT_TRUE(value.getValue(out, true));
    EXPECT_EQ("three", plxNarrow(out));
    ASSERT_TRUE(value.getValue(out, false));
    EXPECT_EQ("four", plxNarrow(out));

    DWORD dwType = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(value.setValue(plxStr("ab"), false));
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("v", dwType, data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), dwType);
    EXPECT_EQ((std::vector<BYTE>{'a', 0, 'b', 0, 0, 0}), data);
}

TEST_F(RegistryValueTest, WriteFailuresNameTheValueAndTheClass) {
    create("");
    PlxLoggingOn logging("WriteFailures");
    // Opened for reading only: every write is refused by the registry.
    CPLXRegistryString text(HKEY_CURRENT_USER, path(), plxStr("s"), KEY_READ, false, 0);
    EXPECT_FALSE(text.setValue(plxStr("x"), false));
    EXPECT_FALSE(text.isCacheValid());
    CPLXRegistryStringExpand expand(HKEY_CURRENT_USER, path(), plxStr("e"), KEY_READ, false, 0);
    EXPECT_FALSE(expand.setValue(plxStr("%a%"), false));
    CPLXRegistryDword number(HKEY_CURRENT_USER, path(), plxStr("d"), KEY_READ, false, 0);
    EXPECT_FALSE(number.setValue(1, false));
    CPLXRegistryMultiString list(HKEY_CURRENT_USER, path(), plxStr("m"), KEY_READ, false, 0);
    EXPECT_FALSE(list.setValue(listOf({"a"}), false));
    CPLXRegistryBinary bytes(HKEY_CURRENT_USER, path(), plxStr("b"), KEY_READ, false, 0);
    EXPECT_FALSE(bytes.setValue(bytesOf({1}), false));

    const std::vector<std::string> lines = logging.lines();
    const std::string prefix = "Unable to Set registry value ( \"" + m_path + "\\";
    EXPECT_TRUE(logHas(lines, {prefix + "s\" )", "CPLXRegistryValue", "writeRegistry"}));
    EXPECT_TRUE(logHas(lines, {prefix + "e\" )", "CPLXRegistryStringExpand", "writeRegistry"}));
    EXPECT_TRUE(logHas(lines, {prefix + "d\" )", "CPLXRegistryDword", "writeRegistry"}));
    EXPECT_TRUE(logHas(lines, {prefix + "m\" )", "CPLXRegistryMultiString", "writeRegistry"}));
    EXPECT_TRUE(logHas(lines, {prefix + "b\" )", "CPLXRegistryBinary", "writeRegistry"}));
}

TEST_F(RegistryValueTest, StandardUserWritesToTheMachineAreRefused) {
    if (!TestMachine::canSetMachineIni()) GTEST_SKIP() << "needs a standard user (machine.ini)";
    const std::string hklmPath = "SOFTWARE\\PLXTest\\" + m_case;
    m_machine
        .reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\PLXTest\\" + m_case + "]\n\"v\"=\"old\"\n" +
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Orvane\\Logs]\n\"Logging\"=dword:00000001\n"
             "\"TextOutput\"=\"C:\\\\plxlog.txt\"\n")
        .ini("User", "Administrator", "0")
        .create();
    // Opening for writing is refused already; a failed open is not reported.
    CPLXRegistryString writer(HKEY_LOCAL_MACHINE, plxStr(hklmPath), plxStr("v"), KEY_WRITE, true, 0);
    EXPECT_FALSE(writer.setValue(plxStr("new"), false));
    // A key opened for reading lets the write reach the registry, which refuses it.
    CPLXRegistryString reader(HKEY_LOCAL_MACHINE, plxStr(hklmPath), plxStr("v"), KEY_READ, false, 0);
    EXPECT_FALSE(reader.setValue(plxStr("new"), false));
    CPLXWCharString out;
    ASSERT_TRUE(reader.getValue(out, false));
    EXPECT_EQ("old", plxNarrow(out));

    PlxTestLog log("unused");
    std::vector<std::string> lines = log.lines(plxW("C:\\plxlog.txt"));
    EXPECT_TRUE(logHas(lines, {"Unable to Set registry value ( \"" + hklmPath + "\\v\" )"}));
    EXPECT_EQ(1u, lines.size());
}

TEST_F(RegistryValueTest, StringGetAllValuesAppendsTheStringValues) {
    create("\"A\"=\"1\"\n\"B\"=dword:00000002\n\"C\"=\"3\"\n\"D\"=hex(2):" + regHexUnits("%x%", true) + "\n");
    CPLXRegistryString value(HKEY_CURRENT_USER, path(), plxStr("A"), KEY_READ, false, 0);
    CPLXDblList<CPLXRegistryStringValue> list;
    list.add(CPLXRegistryStringValue(plxStr("old"), plxStr("kept")), 5);
    ASSERT_TRUE(value.getAllValues(list));
    ASSERT_EQ(3u, list.getCount());
    list.moveFirst();
    EXPECT_EQ("old", plxNarrow(list.getCurrentPointer()->m_szName));
    ASSERT_TRUE(list.findTag(0));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryStringValue(plxStr("A"), plxStr("1")));
    ASSERT_TRUE(list.findTag(1));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryStringValue(plxStr("C"), plxStr("3")));

    CPLXRegistryString missing(HKEY_CURRENT_USER, path("Missing"), plxStr("A"), KEY_READ, false, 0);
    EXPECT_FALSE(missing.getAllValues(list));
    EXPECT_EQ(3u, list.getCount());
}

// ---------------------------------------------------------------- CPLXRegistryStringExpand

TEST_F(RegistryValueTest, ExpandWritesOnlyTextWithAnEvenNumberOfPercents) {
    create("");
    PlxLoggingOn logging("ExpandChecks");
    CPLXRegistryStringExpand value(HKEY_CURRENT_USER, path(), plxStr("e"), KEY_ALL_ACCESS, false, 0);
    ASSERT_TRUE(value.setValue(plxStr("%SystemRoot%\\x"), false));
    DWORD dwType = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("e", dwType, data));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), dwType);
    EXPECT_EQ(plxW("%SystemRoot%\\x"), PlxWString(reinterpret_cast<const WCHAR*>(data.data())));

    for (const char* szText : {"50%", "plain", "%a%b%"}) {
        EXPECT_FALSE(value.setValue(plxStr(szText), false)) << szText;
    }
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("e", dwType, data));
    EXPECT_EQ(plxW("%SystemRoot%\\x"), PlxWString(reinterpret_cast<const WCHAR*>(data.data())));
    EXPECT_TRUE(logHas(logging.lines(), {"A bad argument was provided ( m_szRegStringCache ). value doesn't "
                                         "represent an expandable value which is required"}));
    EXPECT_FALSE(value.isOpen());
}

TEST_F(RegistryValueTest, ExpandGetValueExpandsOnRequest) {
    create("\"e\"=hex(2):" + regHexUnits("%PLXTESTDIR%\\x", true) + "\n");
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXTESTDIR"), TEXT("C:\\dir")));
    CPLXRegistryStringExpand value(HKEY_CURRENT_USER, path(), plxStr("e"), KEY_READ, false, 0);
    CPLXWCharString out;
    ASSERT_TRUE(value.getValue(out, false, true));
    EXPECT_EQ("C:\\dir\\x", plxNarrow(out));
    ASSERT_TRUE(value.getValue(out, false, false));
    EXPECT_EQ("%PLXTESTDIR%\\x", plxNarrow(out));
    ASSERT_TRUE(value.getValue(out, false));  // the string class's own form
    EXPECT_EQ("%PLXTESTDIR%\\x", plxNarrow(out));
    SetEnvironmentVariableW(TEXT("PLXTESTDIR"), nullptr);
}

TEST_F(RegistryValueTest, ExpandGetAllValuesReadsTheKeysOwnView) {
    const std::string hklmPath = "SOFTWARE\\PLXTest\\" + m_case;
    m_machine
        .reg("[HKEY_LOCAL_MACHINE\\" + hklmPath + "]\n\"E\"=hex(2):" + regHexUnits("%PLXTESTDIR%\\64", true) +
             "\n\"S\"=\"plain\"\n" + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\PLXTest\\" + m_case +
             "]\n\"E\"=hex(2):" + regHexUnits("%PLXTESTDIR%\\32", true) + "\n")
        .create();
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("PLXTESTDIR"), TEXT("C:\\dir")));
    CPLXRegistryStringExpand value(HKEY_LOCAL_MACHINE, plxStr(hklmPath), plxStr("E"), KEY_READ | KEY_WOW64_64KEY, false,
                                   0);
    CPLXDblList<CPLXRegistryStringValue> list;
    list.add(CPLXRegistryStringValue(), 3);
    ASSERT_TRUE(value.getAllValues(list, true));
    ASSERT_EQ(1u, list.getCount());
    ASSERT_TRUE(list.findTag(0));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryStringValue(plxStr("E"), plxStr("C:\\dir\\64")));

    ASSERT_TRUE(value.getAllValues(list, false));
    ASSERT_EQ(1u, list.getCount());
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryStringValue(plxStr("E"), plxStr("%PLXTESTDIR%\\64")));
    SetEnvironmentVariableW(TEXT("PLXTESTDIR"), nullptr);
}

// ---------------------------------------------------------------- CPLXRegistryDword

TEST_F(RegistryValueTest, DwordTakesTheBytesOfAnyType) {
    create("\"text\"=\"ab\"\n\"four\"=hex:01,02,03,04\n\"two\"=hex:01,02\n\"n\"=dword:0000002a\n");
    DWORD dwOut = 99;
    CPLXRegistryDword text(HKEY_CURRENT_USER, path(), plxStr("text"), KEY_READ, false, 0);
    EXPECT_FALSE(text.getValue(dwOut, false));  // 6 bytes do not fit
    EXPECT_EQ(99u, dwOut);
    CPLXRegistryDword four(HKEY_CURRENT_USER, path(), plxStr("four"), KEY_READ, false, 0);
    ASSERT_TRUE(four.getValue(dwOut, false));
    EXPECT_EQ(0x04030201u, dwOut);
    // Shorter data is zero-extended.
    CPLXRegistryDword two(HKEY_CURRENT_USER, path(), plxStr("two"), KEY_READ, false, 0);
    ASSERT_TRUE(two.getValue(dwOut, false));
    EXPECT_EQ(0x0201u, dwOut);

    // A failed read leaves the valid cache intact.
    CPLXRegistryDword n(HKEY_CURRENT_USER, path(), plxStr("n"), KEY_READ, false, 0);
    ASSERT_TRUE(n.getValue(dwOut, false));
    EXPECT_EQ(42u, dwOut);
    rawSetString("n", "much too long");
    EXPECT_FALSE(n.getValue(dwOut, false));
    ASSERT_TRUE(n.getValue(dwOut, true));
    EXPECT_EQ(42u, dwOut);
}

TEST_F(RegistryValueTest, DwordCacheAnswersOnceRead) {
    create("\"n\"=dword:00000001\n");
    CPLXRegistryDword value(HKEY_CURRENT_USER, path(), plxStr("n"), KEY_ALL_ACCESS, false, 0);
    DWORD dwOut = 0;
    EXPECT_FALSE(value.isCacheValid());
    ASSERT_TRUE(value.getValue(dwOut, true));  // a fresh object reads the registry
    EXPECT_EQ(1u, dwOut);
    EXPECT_TRUE(value.isCacheValid());
    DWORD dwTwo = 2;
    rawSet("n", REG_DWORD, &dwTwo, sizeof(dwTwo));
    ASSERT_TRUE(value.getValue(dwOut, true));
    EXPECT_EQ(1u, dwOut);
    ASSERT_TRUE(value.getValue(dwOut, false));
    EXPECT_EQ(2u, dwOut);

    EXPECT_TRUE(value.setValue(7, true));  // cache only
    DWORD dwType = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("n", dwType, data));
    EXPECT_EQ((std::vector<BYTE>{2, 0, 0, 0}), data);
    ASSERT_TRUE(value.setValue(0x01020304, false));
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("n", dwType, data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), dwType);
    EXPECT_EQ((std::vector<BYTE>{4, 3, 2, 1}), data);
}

TEST_F(RegistryValueTest, DwordMissingValue) {
    create("");
    DWORD dwOut = 5;
    CPLXRegistryDword plain(HKEY_CURRENT_USER, path(), plxStr("n"), KEY_ALL_ACCESS, false, 0);
    EXPECT_FALSE(plain.getValue(dwOut, false));
    EXPECT_EQ(5u, dwOut);
    CPLXRegistryDword creating(HKEY_CURRENT_USER, path(), plxStr("n"), KEY_ALL_ACCESS, true, 0);
    ASSERT_TRUE(creating.getValue(dwOut, false));
    EXPECT_EQ(0u, dwOut);
    DWORD dwType = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("n", dwType, data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), dwType);
    EXPECT_EQ((std::vector<BYTE>{0, 0, 0, 0}), data);
}

TEST_F(RegistryValueTest, DwordGetAllValuesKeepsOnlyNumbers) {
    create("\"A\"=dword:00000001\n\"B\"=\"text\"\n\"C\"=dword:00000003\n");
    CPLXRegistryDword value(HKEY_CURRENT_USER, path(), plxStr("A"), KEY_READ, false, 0);
    CPLXDblList<CPLXRegistryDwordValue> list;
    list.add(CPLXRegistryDwordValue(plxStr("old"), 9), 0);
    ASSERT_TRUE(value.getAllValues(list));
    ASSERT_EQ(2u, list.getCount());
    ASSERT_TRUE(list.findTag(0));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryDwordValue(plxStr("A"), 1));
    ASSERT_TRUE(list.findTag(1));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryDwordValue(plxStr("C"), 3));
}

// ---------------------------------------------------------------- CPLXRegistryMultiString

TEST_F(RegistryValueTest, MultiStringParsing) {
    auto parse = [](std::initializer_list<unsigned char> bytes) {
        CPLXDblList<CPLXWCharString> list;
        EXPECT_TRUE(CPLXRegistryMultiString::parseMultiSz(bytesOf(bytes), list));
        return list;
    };
    CPLXDblList<CPLXWCharString> list = parse({});
    EXPECT_EQ(0u, list.getCount());
    list = parse({'a', 0, 0, 0, 0, 0});
    EXPECT_EQ((std::vector<std::string>{"a"}), plxNames(list));
    list = parse({0, 0, 0, 0});  // one empty (invalid) string
    ASSERT_EQ(1u, list.getCount());
    list.moveFirst();
    EXPECT_FALSE(list.getCurrentPointer()->isValid());
    list = parse({'a', 0, 0, 0, 'b', 0});  // the unterminated "b" is never taken
    EXPECT_EQ((std::vector<std::string>{"a"}), plxNames(list));
    list = parse({'a', 0, 0, 0, 'b', 0, 'c', 0});  // "a", then the unterminated "bc" is never taken
    EXPECT_EQ((std::vector<std::string>{"a"}), plxNames(list));
    list = parse({'a', 0, 0, 0, 'b', 0, 0, 0});  // no final extra 0 unit: stops at the last unit
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), plxNames(list));
    EXPECT_TRUE(list.findTag(1));
    list = parse({'a', 0, 0, 0, 'b'});  // an odd byte is a unit of its own
    EXPECT_EQ((std::vector<std::string>{"a"}), plxNames(list));
    list = parse({'x', 0, 'y'});  // no 0 unit at all
    EXPECT_EQ(0u, list.getCount());
}

TEST_F(RegistryValueTest, MultiStringWritesTheListAndReadsItBack) {
    create("");
    CPLXRegistryMultiString value(HKEY_CURRENT_USER, path(), plxStr("m"), KEY_ALL_ACCESS, false, 0);
    EXPECT_FALSE(value.setValue(listOf({"a", "bc"}), true));  // cache only: false, nothing written
    DWORD dwType = 0;
    std::vector<BYTE> data;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, rawQuery("m", dwType, data));

    ASSERT_TRUE(value.setValue(listOf({"a", "bc"}), false));
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("m", dwType, data));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), dwType);
    EXPECT_EQ((std::vector<BYTE>{'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}), data);

    CPLXRegistryMultiString reader(HKEY_CURRENT_USER, path(), plxStr("m"), KEY_READ, false, 0);
    CPLXDblList<CPLXWCharString> list;
    EXPECT_FALSE(reader.getCachedValue(list));
    ASSERT_TRUE(reader.readRegistry());
    EXPECT_TRUE(reader.isCacheValid());
    ASSERT_TRUE(reader.getCachedValue(list));
    EXPECT_TRUE(list == listOf({"a", "bc"}));

    ASSERT_TRUE(value.setValue(CPLXDblList<CPLXWCharString>(), false));  // an empty list writes 0 bytes
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("m", dwType, data));
    EXPECT_EQ(0u, data.size());
    ASSERT_TRUE(reader.readRegistry());
    ASSERT_TRUE(reader.getCachedValue(list));
    EXPECT_EQ(0u, list.getCount());
}

TEST_F(RegistryValueTest, MultiStringReadsOnlyTheValuesOwnBytes) {
    // A longer value of the key sizes the buffer; the short one is parsed alone.
    create("\"long\"=hex(7):" + regHexUnits(repeat('z', 40), true) + ",00,00\n" +
           "\"short\"=hex(7):61,00,00,00,62\n");  // odd: no terminator is added on writing
    CPLXRegistryMultiString value(HKEY_CURRENT_USER, path(), plxStr("short"), KEY_READ, false, 0);
    ASSERT_TRUE(value.readRegistry());
    CPLXDblList<CPLXWCharString> list;
    ASSERT_TRUE(value.getCachedValue(list));
    EXPECT_EQ((std::vector<std::string>{"a"}), plxNames(list));
}

TEST_F(RegistryValueTest, MultiStringMissingValueWithCreateWritesAnEmptyList) {
    create("");
    CPLXRegistryMultiString value(HKEY_CURRENT_USER, path(), plxStr("m"), KEY_ALL_ACCESS, true, 0);
    ASSERT_TRUE(value.readRegistry());
    EXPECT_TRUE(value.isCacheValid());
    CPLXDblList<CPLXWCharString> list = listOf({"x"});
    ASSERT_TRUE(value.getCachedValue(list));
    EXPECT_EQ(0u, list.getCount());
    DWORD dwType = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("m", dwType, data));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), dwType);
    EXPECT_EQ(0u, data.size());

    CPLXRegistryMultiString plain(HKEY_CURRENT_USER, path(), plxStr("other"), KEY_ALL_ACCESS, false, 0);
    EXPECT_FALSE(plain.readRegistry());
}

TEST_F(RegistryValueTest, MultiStringGetAllValues) {
    create("\"M1\"=hex(7):61,00,00,00,62,00,00,00,00,00\n\"S\"=\"s\"\n\"M2\"=hex(7):63,00,00,00,00,00\n");
    CPLXRegistryMultiString value(HKEY_CURRENT_USER, path(), plxStr("M1"), KEY_READ, false, 0);
    CPLXDblList<CPLXRegistryMultiStringValue> list;
    ASSERT_TRUE(value.getAllValues(list));
    ASSERT_EQ(2u, list.getCount());
    ASSERT_TRUE(list.findTag(0));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryMultiStringValue(plxStr("M1"), listOf({"a", "b"})));
    ASSERT_TRUE(list.findTag(1));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryMultiStringValue(plxStr("M2"), listOf({"c"})));
    EXPECT_FALSE(*list.getCurrentPointer() == CPLXRegistryMultiStringValue(plxStr("M2"), listOf({"c", "d"})));
}

// ---------------------------------------------------------------- CPLXRegistryBinary

TEST_F(RegistryValueTest, BinaryRoundTripAndCache) {
    create("\"empty\"=hex:\n");
    CPLXRegistryBinary value(HKEY_CURRENT_USER, path(), plxStr("b"), KEY_ALL_ACCESS, false, 0);
    CPLXBuffer<unsigned char> out;
    EXPECT_FALSE(value.getCachedValue(out));
    EXPECT_FALSE(value.readRegistry());
    EXPECT_TRUE(value.setValue(bytesOf({1, 2, 3}), true));
    DWORD dwType = 0;
    std::vector<BYTE> data;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, rawQuery("b", dwType, data));
    ASSERT_TRUE(value.writeRegistry());
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("b", dwType, data));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), dwType);
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), data);

    CPLXRegistryBinary reader(HKEY_CURRENT_USER, path(), plxStr("b"), KEY_READ, false, 0);
    ASSERT_TRUE(reader.readRegistry());
    ASSERT_TRUE(reader.getCachedValue(out));
    EXPECT_EQ((std::vector<unsigned char>{1, 2, 3}), vectorOf(out));

    CPLXRegistryBinary empty(HKEY_CURRENT_USER, path(), plxStr("empty"), KEY_READ, false, 0);
    ASSERT_TRUE(empty.readRegistry());
    ASSERT_TRUE(empty.getCachedValue(out));
    EXPECT_EQ(0u, out.getNumElems());

    CPLXRegistryBinary creating(HKEY_CURRENT_USER, path(), plxStr("new"), KEY_ALL_ACCESS, true, 0);
    ASSERT_TRUE(creating.readRegistry());
    ASSERT_EQ(ERROR_SUCCESS, rawQuery("new", dwType, data));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), dwType);
    EXPECT_EQ(0u, data.size());
}

TEST_F(RegistryValueTest, BinaryGetAllValues) {
    create("\"A\"=hex:0a,0b\n\"B\"=dword:00000001\n\"C\"=hex:\n");
    CPLXRegistryBinary value(HKEY_CURRENT_USER, path(), plxStr("A"), KEY_READ, false, 0);
    CPLXDblList<CPLXRegistryBinaryValue> list;
    ASSERT_TRUE(value.getAllValues(list));
    ASSERT_EQ(2u, list.getCount());
    ASSERT_TRUE(list.findTag(0));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryBinaryValue(plxStr("A"), bytesOf({10, 11})));
    ASSERT_TRUE(list.findTag(1));
    EXPECT_TRUE(*list.getCurrentPointer() == CPLXRegistryBinaryValue(plxStr("C"), CPLXBuffer<unsigned char>()));
}
