// The .reg reader and writer of the simulated registry.
#include "plx_test_text.h"
#include "src/reg_file.h"

#include <gtest/gtest.h>

#include <string>

using namespace plxsim;

namespace {

std::vector<BYTE> utf16Bytes(const std::u16string& text) {
    const std::string bytes = utf16leBytes(text);
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}

// As regedit exports it from a 64-bit Windows 7: out of order, with a hex list
// wrapped over lines, a comment and sections for missing parents left out.
const std::u16string kExport =
    u"Windows Registry Editor Version 5.00\r\n"
    u"\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Orvane\\Vaultline Security Suite]\r\n"
    u"\"Version\"=\"8.30.20.0\"\r\n"
    u"\"InstallPath\"=\"C:\\\\Program Files (x86)\\\\Orvane\\\\Vaultline\\\\\"\r\n"
    u"\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    u"\"Gr\u00fc\u00dfe\"=\"\u65e5\u672c\u8a9e\"\r\n"
    u"@=\"default\"\r\n"
    u"\r\n"
    u"; a comment line\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\r\n"
    u"\"Version\"=\"8.30.20.0\"\r\n"
    u"\"Count\"=dword:0000002a\r\n"
    u"\"Path\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,\\\r\n"
    u"  25,00,5c,00,78,00,00,00\r\n"
    u"\"List\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n"
    u"\"Blob\"=hex:00,01,ff\r\n"
    u"\"Empty\"=hex:\r\n"
    u"\"Q\"=hex(b):08,07,06,05,04,03,02,01\r\n"
    u"\"None\"=hex(0):\r\n"
    u"\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Orvane]\r\n"
    u"\"gone\"=\"x\"\r\n"
    u"\"gone\"=-\r\n"
    u"\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Orvane\\Doomed]\r\n"
    u"\"v\"=dword:00000001\r\n"
    u"\r\n"
    u"[-HKEY_CURRENT_USER\\Software\\Orvane\\Doomed]\r\n"
    u"\r\n";

RegValue* valueAt(RegTree& tree, const std::u16string& root, const std::u16string& path, const std::u16string& name) {
    RegKey* key = tree.find(root, splitKeyPath(path));
    return key ? key->findValue(name) : nullptr;
}

void checkExport(RegTree& tree) {
    const std::u16string lm = u"HKEY_LOCAL_MACHINE";
    RegValue* v = valueAt(tree, lm, u"SOFTWARE\\WOW6432Node\\Orvane\\Vaultline Security Suite", u"installpath");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), v->type);
    EXPECT_EQ(utf16Bytes(std::u16string(u"C:\\Program Files (x86)\\Orvane\\Vaultline\\") + u'\0'), v->data);
    v = valueAt(tree, lm, u"SOFTWARE\\Wow6432Node\\Orvane\\Vaultline Security Suite", u"Quote");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(utf16Bytes(std::u16string(u"say \"hi\"") + u'\0'), v->data);
    v = valueAt(tree, lm, u"SOFTWARE\\Wow6432Node\\Orvane\\Vaultline Security Suite", u"GR\u00dc\u00dfE");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(utf16Bytes(std::u16string(u"\u65e5\u672c\u8a9e") + u'\0'), v->data);
    v = valueAt(tree, lm, u"SOFTWARE\\Wow6432Node\\Orvane\\Vaultline Security Suite", u"");
    ASSERT_NE(nullptr, v);

    const std::u16string suite = u"SOFTWARE\\Orvane\\Vaultline Security Suite";
    v = valueAt(tree, lm, suite, u"Count");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), v->type);
    EXPECT_EQ((std::vector<BYTE>{0x2a, 0, 0, 0}), v->data);
    v = valueAt(tree, lm, suite, u"Path");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), v->type);
    EXPECT_EQ(utf16Bytes(std::u16string(u"%SystemRoot%\\x") + u'\0'), v->data);
    v = valueAt(tree, lm, suite, u"List");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), v->type);
    EXPECT_EQ(12u, v->data.size());
    v = valueAt(tree, lm, suite, u"Blob");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ((std::vector<BYTE>{0, 1, 0xff}), v->data);
    v = valueAt(tree, lm, suite, u"Empty");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), v->type);
    EXPECT_TRUE(v->data.empty());
    v = valueAt(tree, lm, suite, u"Q");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(static_cast<DWORD>(REG_QWORD), v->type);
    v = valueAt(tree, lm, suite, u"None");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(static_cast<DWORD>(REG_NONE), v->type);

    RegKey* orvane = tree.find(u"HKEY_CURRENT_USER", splitKeyPath(u"Software\\Orvane"));
    ASSERT_NE(nullptr, orvane);
    EXPECT_TRUE(orvane->values().empty());
    EXPECT_EQ(nullptr, orvane->findSub(u"Doomed"));
    // Parents named by no section exist.
    EXPECT_NE(nullptr, tree.find(u"HKEY_LOCAL_MACHINE", splitKeyPath(u"SOFTWARE\\Orvane")));
}

RegTree& machineTree(RegTree& tree) {
    tree.allowRoots(RegTree::machineRoots());
    return tree;
}

TEST(RegFile, ReadsARegeditExportInUtf16AndUtf8) {
    for (const std::string& bytes : {std::string("\xFF\xFE", 2) + utf16leBytes(kExport), plxNarrow(kExport),
                                     std::string("\xEF\xBB\xBF") + plxNarrow(kExport)}) {
        RegTree tree;
        RegParseResult result = parseRegText(decodeRegBytes(bytes), machineTree(tree), false);
        EXPECT_TRUE(result.hasHeader);
        EXPECT_EQ(0u, result.badLines);
        checkExport(tree);
    }
}

TEST(RegFile, WritesRegeditLayoutAndReadsItBackUnchanged) {
    RegTree tree;
    parseRegText(kExport, machineTree(tree), false);
    std::string bytes = formatRegFile(tree, false);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ('\xFF', bytes[0]);
    EXPECT_EQ('\xFE', bytes[1]);
    std::u16string text = formatRegText(tree, false);
    EXPECT_EQ(0u, text.find(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"Count\"=dword:0000002a\r\n"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"Version\"=\"8.30.20.0\"\r\n"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"Quote\"=\"say \\\"hi\\\"\"\r\n"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"Path\"=hex(2):25,00,"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"Q\"=hex(b):08,07,"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"None\"=hex(0):\r\n"));
    // Sections in sorted order, each followed by a blank line; no bare LF; lines within 80 columns.
    EXPECT_LT(text.find(u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane]"),
              text.find(u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node]"));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u"\r\n", start);
        ASSERT_NE(std::u16string::npos, end);
        EXPECT_EQ(std::u16string::npos, text.substr(start, end - start).find(u'\n'));
        std::u16string line = text.substr(start, end - start);
        if (line.find(u"=hex") != std::u16string::npos || line.rfind(u"  ", 0) == 0) {
            EXPECT_LE(line.size(), 80u);
        }
        start = end + 2;
    }
    EXPECT_NE(std::u16string::npos, text.find(u",\\\r\n  "));

    RegTree again;
    RegParseResult result = parseRegText(decodeRegBytes(bytes), machineTree(again), false);
    EXPECT_EQ(0u, result.badLines);
    checkExport(again);
    EXPECT_EQ(bytes, formatRegFile(again, false));
}

TEST(RegFile, ClassesRootKeysAreTheMachinesClasses) {
    RegTree tree;
    EXPECT_EQ(
        1u,
        parseRegText(u"[HKEY_CLASSES_ROOT\\.plx]\n@=\"x\"\n[-HKEY_CLASSES_ROOT]\n", machineTree(tree), false).badLines);
    EXPECT_NE(nullptr, valueAt(tree, u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\Classes\\.plx", u""));
}

TEST(RegFile, LongBinaryWrapsAndSurvives) {
    RegTree tree;
    RegKey* key = machineTree(tree).root(u"HKEY_CURRENT_USER", true)->addSub(u"K", false);
    std::vector<BYTE> data;
    for (int i = 0; i < 300; ++i) data.push_back(static_cast<BYTE>(i * 7));
    key->setValue(u"a rather long value name to push the first line", REG_BINARY, data);
    RegTree again;
    parseRegText(formatRegText(tree, false), machineTree(again), false);
    RegValue* v =
        again.find(u"HKEY_CURRENT_USER", {u"K"})->findValue(u"a rather long value name to push the first line");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(data, v->data);
}

// Text that "name"="text" cannot carry exactly is written as a hex list.
TEST(RegFile, OddStringsAndDwordsRoundTripAsHex) {
    RegTree tree;
    RegKey* key = machineTree(tree).root(u"HKEY_CURRENT_USER", true)->addSub(u"K", false);
    key->setValue(u"noTerminator", REG_SZ, utf16Bytes(u"ab"));
    key->setValue(u"newline", REG_SZ, utf16Bytes(std::u16string(u"a\r\nb") + u'\0'));
    key->setValue(u"embedded", REG_SZ, utf16Bytes(std::u16string(u"a\0b", 3) + u'\0'));
    key->setValue(u"emptySz", REG_SZ, {});
    key->setValue(u"shortDword", REG_DWORD, {1, 2});
    key->setValue(u"odd\\name\"", REG_BINARY, {9});
    key->setValue(u"line\r\nbreak", REG_BINARY, {8});
    std::u16string text = formatRegText(tree, false);
    EXPECT_NE(std::u16string::npos, text.find(u"\"noTerminator\"=hex(1):61,00,62,00\r\n"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"shortDword\"=hex(4):01,02\r\n"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"odd\\\\name\\\"\"=hex:09\r\n"));
    EXPECT_NE(std::u16string::npos, text.find(u"\"line\\r\\nbreak\"=hex:08\r\n")) << "a name's line break is escaped";
    RegTree again;
    parseRegText(text, machineTree(again), false);
    RegKey* back = again.find(u"HKEY_CURRENT_USER", {u"K"});
    ASSERT_NE(nullptr, back);
    ASSERT_EQ(key->values().size(), back->values().size());
    for (size_t i = 0; i < key->values().size(); ++i) {
        EXPECT_EQ(key->values()[i].name, back->values()[i].name);
        EXPECT_EQ(key->values()[i].type, back->values()[i].type);
        EXPECT_EQ(key->values()[i].data, back->values()[i].data);
    }
}

TEST(RegFile, EmptyAndHeaderlessFilesLoad) {
    RegTree tree;
    RegParseResult result = parseRegText(decodeRegBytes(""), machineTree(tree), false);
    EXPECT_FALSE(result.hasHeader);
    EXPECT_EQ(0u, result.badLines);
    EXPECT_TRUE(tree.roots().empty());

    result = parseRegText(u"[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=dword:1\n", tree, false);
    EXPECT_EQ(0u, result.badLines);
    ASSERT_NE(nullptr, valueAt(tree, u"HKEY_CURRENT_USER", u"Software\\x", u"A"));
}

TEST(RegFile, BadLinesAreCountedAndSkipped) {
    RegTree tree;
    RegParseResult result = parseRegText(
        u"Windows Registry Editor Version 5.00\n"
        u"[HKEY_NOWHERE\\x]\n"
        u"\"lost\"=dword:1\n"
        u"[HKEY_CURRENT_USER\\k]\n"
        u"\"bad\"=dword:123456789\n"
        u"\"alsoBad\"=hex:1,zz\n"
        u"garbage\n"
        u"\"good\"=\"yes\"\n",
        machineTree(tree), false);
    EXPECT_EQ(5u, result.badLines);
    ASSERT_EQ(5u, result.firstBadLines.size());
    const size_t lines[] = {2, 3, 5, 6, 7};  // each named by its number, with a reason
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[i], result.firstBadLines[i].line);
        EXPECT_FALSE(result.firstBadLines[i].why.empty());
    }
    EXPECT_NE(nullptr, valueAt(tree, u"HKEY_CURRENT_USER", u"k", u"good"));
    EXPECT_EQ(nullptr, valueAt(tree, u"HKEY_CURRENT_USER", u"k", u"bad"));
}

// "A registry tree can be 512 levels deep": a deeper section (and one of
// 200000 levels, too deep for the stack of a recursive reader or writer) is
// skipped, the keys up to 512 levels load and are written.
TEST(RegFile, KeysDeeperThanWindowsHoldsAreSkipped) {
    std::u16string levels512, levels200000;
    for (int i = 0; i < 512; ++i) levels512 += u"\\k";
    for (int i = 0; i < 200000; ++i) levels200000 += u"\\k";
    RegTree tree;
    RegParseResult result = parseRegText(u"[HKEY_CURRENT_USER" + levels512 +
                                             u"]\n\"v\"=\"512\"\n"
                                             u"[HKEY_CURRENT_USER" +
                                             levels512 +
                                             u"\\k]\n\"v\"=\"513\"\n"
                                             u"[HKEY_CURRENT_USER" +
                                             levels200000 + u"]\n",
                                         machineTree(tree), false);
    EXPECT_EQ(3u, result.badLines);
    ASSERT_NE(nullptr, valueAt(tree, u"HKEY_CURRENT_USER", levels512.substr(1), u"v"));
    EXPECT_EQ(nullptr, tree.find(u"HKEY_CURRENT_USER", splitKeyPath(levels512.substr(1) + u"\\k")));
    EXPECT_NE(std::u16string::npos, formatRegText(tree, false).find(u"[HKEY_CURRENT_USER" + levels512 + u"]\r\n"));
}

// regedit writes and reads REGEDIT4 files in the ANSI code page, its hex(2)
// and hex(7) data as ANSI bytes; the registry holds both as UTF-16.
TEST(RegFile, Regedit4ExportsReadAsWindows1252) {
    RegTree tree;
    std::string bytes =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\k]\r\n\"n\"=\"caf\xE9 \x80\"\r\n"
        "\"e\"=hex(2):25,41,25,80,00\r\n\"m\"=hex(7):61,00,62,00,00\r\n\"b\"=hex:80\r\n";
    RegParseResult result = parseRegText(decodeRegBytes(bytes), machineTree(tree), false);
    EXPECT_TRUE(result.hasHeader);
    EXPECT_EQ(0u, result.badLines);
    const struct {
        const char16_t* name;
        std::vector<BYTE> data;
    } cases[] = {
        {u"n", utf16Bytes(std::u16string(u"caf\u00e9 \u20ac") + u'\0')},
        {u"e", utf16Bytes(std::u16string(u"%A%\u20ac") + u'\0')},
        {u"m", utf16Bytes(std::u16string(u"a\0b\0\0", 5))},
        {u"b", {0x80}},  // binary data stays bytes
    };
    for (const auto& c : cases) {
        RegValue* v = valueAt(tree, u"HKEY_CURRENT_USER", u"k", c.name);
        ASSERT_NE(nullptr, v);
        EXPECT_EQ(c.data, v->data) << std::string(c.name, c.name + 1);
    }
}

// The changes a recording tree hands over, read onto the tree as it was,
// give the tree as it became: that is how the journal restores them.
TEST(RegFile, RecordedChangesReplayToTheSameTree) {
    const std::u16string start =
        u"[HKEY_CURRENT_USER\\A]\n\"keep\"=\"1\"\n\"gone\"=dword:2\n"
        u"[HKEY_CURRENT_USER\\A\\Old]\n\"x\"=hex:01\n[HKEY_CURRENT_USER\\B]\n\"v\"=\"b\"\n";
    RegTree tree, replayed;
    parseRegText(start, machineTree(tree), false);
    parseRegText(start, machineTree(replayed), false);
    tree.startRecording();
    RegKey* a = tree.find(u"HKEY_CURRENT_USER", {u"A"});
    a->setValue(u"keep", REG_SZ, utf16Bytes(std::u16string(u"1") + u'\0'));  // no change
    a->removeValue(u"GONE");
    a->setValue(u"", REG_BINARY, {1, 2, 3});
    a->setValue(u"line\r\nbreak", REG_MULTI_SZ, utf16Bytes(std::u16string(u"a\0\0", 3)));
    a->removeSub(u"old");
    a->addSub(u"New", false)->addSub(u"Deeper", false)->setValue(u"d", REG_DWORD, {4, 0, 0, 0});
    a->addSub(u"Session", true)->setValue(u"s", REG_DWORD, {5, 0, 0, 0});
    tree.find(u"HKEY_CURRENT_USER", {u"B"})->clearContent();
    RegChanges changes = tree.takeChanges();
    EXPECT_TRUE(changes.volatileChanged);
    EXPECT_EQ(std::u16string::npos, changes.text.find(u"Session"));
    EXPECT_EQ(std::u16string::npos, changes.text.find(u"keep"));
    RegParseResult result = parseRegText(changes.text, replayed, false);
    EXPECT_EQ(0u, result.badLines);
    EXPECT_EQ(formatRegText(tree, false), formatRegText(replayed, false));
}

TEST(RegFile, VolatileKeysGoOnlyToTheVolatilePart) {
    RegTree tree;
    RegKey* stable = machineTree(tree).root(u"HKEY_CURRENT_USER", true)->addSub(u"Stable", false);
    RegKey* vol = stable->addSub(u"Vol", true);
    vol->setValue(u"x", REG_DWORD, {1, 0, 0, 0});
    vol->addSub(u"Inner", true);
    std::u16string persistent = formatRegText(tree, false);
    std::u16string transient = formatRegText(tree, true);
    EXPECT_NE(std::u16string::npos, persistent.find(u"[HKEY_CURRENT_USER\\Stable]"));
    EXPECT_EQ(std::u16string::npos, persistent.find(u"Vol"));
    EXPECT_EQ(std::u16string::npos, transient.find(u"[HKEY_CURRENT_USER\\Stable]"));
    EXPECT_NE(std::u16string::npos, transient.find(u"[HKEY_CURRENT_USER\\Stable\\Vol]\r\n\"x\"=dword:00000001"));

    RegTree again;
    parseRegText(persistent, machineTree(again), false);
    parseRegText(transient, again, true);
    RegKey* back = again.find(u"HKEY_CURRENT_USER", {u"Stable", u"Vol", u"Inner"});
    ASSERT_NE(nullptr, back);
    EXPECT_TRUE(back->isVolatile);
    EXPECT_FALSE(again.find(u"HKEY_CURRENT_USER", {u"Stable"})->isVolatile);
}

}  // namespace
