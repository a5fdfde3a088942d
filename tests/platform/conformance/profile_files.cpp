// Profile (.ini) files: GetPrivateProfile* and WritePrivateProfile* as
// Windows reads and writes them.  The expectations come from Microsoft's
// documentation of the functions, from Wine's kernel32 profile tests (which
// pass on Windows) and from the IniFileFormatReverseEngineering tests run on
// Windows 10.  Where Wine answers otherwise (it rewrites a file from what it
// parsed, where Windows edits it in place), the case says so and is skipped
// under Wine.
#include "file_conformance.h"
#include "plx_test_machine.h"
#include "plx_text_codec.h"

#include <functional>

using namespace conf;

namespace {

class ProfileEncoding : public FileCase {};
class ProfileRead : public FileCase {};
class ProfileWrite : public FileCase {};
class ProfileFailure : public FileCase {};
class ProfileLimit : public FileCase {};

// Text with '|' standing for the nulls that end each string of a list.
Text nulls(const WCHAR* shown) {
    Text out(shown);
    for (WCHAR& c : out)
        if (c == '|') c = 0;
    return out;
}

// The bytes of a UTF-16LE file with its byte order mark.
std::string utf16(const WCHAR* text) {
    PlxWString units(text);
    return "\xFF\xFE" + plxtext::utf16leBytes(std::u16string(units.begin(), units.end()));
}

// What GetPrivateProfileStringW leaves in a buffer of `size` characters
// (filled with '#' before): its count and the whole buffer.
struct Read {
    DWORD count;
    Text buffer;
};

Read readString(const Text& file, const WCHAR* section, const WCHAR* key, const WCHAR* fallback, DWORD size = 512) {
    Text buffer(size + 1, '#');
    DWORD count = GetPrivateProfileStringW(section, key, fallback, &buffer[0], size, file.c_str());
    return {count, buffer};
}

Text value(const Text& file, const WCHAR* section, const WCHAR* key) {
    return readString(file, section, key, TEXT("<default>")).buffer.c_str();
}

const char kSyntax[] =
    "k=before any section\r\n"
    "; comment=x\r\n"
    "[Main]\r\n"
    "  key1  =  value one  \r\n"
    "key2=\r\n"
    "key3\r\n"
    "  ;hidden=1\r\n"
    "\r\n"
    "Quoted=  \"  spaced  \"  \r\n"
    "Single='x'\r\n"
    "Mixed=\"x'\r\n"
    "Dup=first\r\n"
    "Dup=second\r\n"
    "inline=a ;not a comment\r\n"
    "[main]\r\n"
    "key1=second section\r\n"
    "other=only in the second\r\n"
    "[Empty]\r\n"
    "[Plain]\r\n"
    "name1=val1\r\n"
    "name2=\r\n"
    "name3\r\n"
    "name4=val4\r\n";

}  // namespace

TEST_F(ProfileEncoding, NewFileIsAnsiWithQuestionMarksForWhatWindows1252Lacks) {
    Text f = path("new.ini");
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("Größe"), TEXT("Preis"), TEXT("5 € – 中"), f.c_str()))
        << GetLastError();
    EXPECT_EQ(
        "[Gr\xF6\xDF"
        "e]\r\nPreis=5 \x80 \x96 ?\r\n",
        readFile(f));
    EXPECT_EQ(Text(TEXT("5 € – ?")), value(f, TEXT("Größe"), TEXT("Preis")));
}

TEST_F(ProfileEncoding, Utf16FileStaysUtf16) {
    Text f = path("wide.ini");
    ASSERT_TRUE(writeFile(f, utf16(TEXT("[Alt]\r\nk=v\r\n"))));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("Alt"), TEXT("neu"), TEXT("中文"), f.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("Neu"), TEXT("Ω"), TEXT("1"), f.c_str()));
    EXPECT_EQ(utf16(TEXT("[Alt]\r\nk=v\r\nneu=中文\r\n[Neu]\r\nΩ=1\r\n")), readFile(f));
    EXPECT_EQ(Text(TEXT("中文")), value(f, TEXT("Alt"), TEXT("neu")));
}

TEST_F(ProfileEncoding, Utf8ByteOrderMarkIsAnsiText) {
    if (plxIsWine()) GTEST_SKIP() << "Wine understands a UTF-8 byte order mark";
    Text f = path("utf8.ini");
    ASSERT_TRUE(writeFile(f, "\xEF\xBB\xBF[First]\r\nk=1\r\n[Second]\r\nk=\xC3\xA9\r\n"));
    EXPECT_EQ(Text(TEXT("<default>")), value(f, TEXT("First"), TEXT("k"))) << "the mark spoils the first header";
    EXPECT_EQ(Text(TEXT("Ã©")), value(f, TEXT("Second"), TEXT("k")));
}

TEST_F(ProfileRead, ValuesAsWindowsFindsThem) {
    struct Row {
        const WCHAR *section, *key, *fallback, *expected;
    };
    const Row rows[] = {
        {TEXT("Main"), TEXT("key1"), TEXT("d"), TEXT("value one")},  // blanks around key and value
        {TEXT("  MAIN "), TEXT(" KEY1  "), TEXT("d"), TEXT("value one")},
        {TEXT("Main"), TEXT("key2"), TEXT("d"), TEXT("")},  // found, empty: not the default
        {TEXT("Main"), TEXT("Quoted"), TEXT("d"), TEXT("  spaced  ")},
        {TEXT("Main"), TEXT("Single"), TEXT("d"), TEXT("x")},
        {TEXT("Main"), TEXT("Mixed"), TEXT("d"), TEXT("\"x'")},
        {TEXT("Main"), TEXT("Dup"), TEXT("d"), TEXT("first")},
        {TEXT("Main"), TEXT("inline"), TEXT("d"), TEXT("a ;not a comment")},
        {TEXT("main"), TEXT("other"), TEXT("d"), TEXT("d")},  // only the first [Main] is read
        {TEXT("Empty"), TEXT("key1"), TEXT("d"), TEXT("d")},
        {TEXT("Nowhere"), TEXT("key1"), TEXT("d"), TEXT("d")},
        {TEXT("Main"), TEXT("none"), TEXT("  d  "), TEXT("  d")},  // the default's trailing blanks go
        {TEXT("Main"), TEXT("none"), nullptr, TEXT("")},
    };
    Text f = path("syntax.ini");
    ASSERT_TRUE(writeFile(f, kSyntax));
    for (const Row& row : rows) {
        Read read = readString(f, row.section, row.key, row.fallback);
        EXPECT_EQ(Text(row.expected), Text(read.buffer.c_str())) << plxNarrow(row.section) << "/" << plxNarrow(row.key);
        EXPECT_EQ(static_cast<DWORD>(lstrlenW(row.expected)), read.count) << plxNarrow(row.key);
    }
}

TEST_F(ProfileRead, CommentsAndTextBeforeTheFirstSectionAreNoEntries) {
    if (plxIsWine())
        GTEST_SKIP() << "Wine takes a comment for a key named with its ';', and the text before the first "
                        "section for a section without a name";
    Text f = path("syntax.ini");
    ASSERT_TRUE(writeFile(f, kSyntax));
    EXPECT_EQ(Text(TEXT("<default>")), value(f, TEXT("Main"), TEXT(";hidden")));
    EXPECT_EQ(Text(TEXT("<default>")), value(f, TEXT("Main"), TEXT("hidden")));
    EXPECT_EQ(Text(TEXT("<default>")), value(f, TEXT(""), TEXT("k")));
}

TEST_F(ProfileRead, ListsOfSectionsKeysAndEntries) {
    Text f = path("syntax.ini");
    ASSERT_TRUE(writeFile(f, kSyntax));
    // Duplicates are listed each time; a line without '=' is no key, but is an entry of its section.
    Read sections = readString(f, nullptr, TEXT("ignored"), TEXT("d"));
    EXPECT_EQ(nulls(TEXT("Main|main|Empty|Plain||")), sections.buffer.substr(0, sections.count + 1));
    Read keys = readString(f, TEXT("main"), nullptr, TEXT("d"));
    EXPECT_EQ(nulls(TEXT("key1|key2|Quoted|Single|Mixed|Dup|Dup|inline||")), keys.buffer.substr(0, keys.count + 1));

    Text buffer(100, '#');
    EXPECT_EQ(22u, GetPrivateProfileSectionNamesW(&buffer[0], 100, f.c_str()));
    EXPECT_EQ(nulls(TEXT("Main|main|Empty|Plain||")), buffer.substr(0, 23));
    buffer.assign(100, '#');
    EXPECT_EQ(35u, GetPrivateProfileSectionW(TEXT("PLAIN"), &buffer[0], 100, f.c_str()));
    EXPECT_EQ(nulls(TEXT("name1=val1|name2=|name3|name4=val4||")), buffer.substr(0, 36));
}

TEST_F(ProfileRead, CutBuffers) {
    enum Call { Value, Keys, Sections, Entries, SectionNames };
    struct Row {
        Call call;
        DWORD size, count;
        const WCHAR* buffer;  // its first characters afterwards
    };
    const Row rows[] = {
        {Value, 10, 9, TEXT("value one|")},
        {Value, 9, 8, TEXT("value on|")},  // cut: size - 1
        {Value, 1, 0, TEXT("|")},
        {Value, 0, 0, TEXT("#")},                  // nothing written
        {Keys, 16, 14, TEXT("name1|name2|na||")},  // a cut list: size - 2, two nulls
        {Sections, 16, 14, TEXT("Main|main|Empt||")},
        {Entries, 24, 22, TEXT("name1=val1|name2=|name||")},
        {SectionNames, 24, 22, TEXT("Main|main|Empty|Plain||")},
        {SectionNames, 23, 21, TEXT("Main|main|Empty|Plain||")},  // an exact fit counts as cut
        {SectionNames, 22, 20, TEXT("Main|main|Empty|Plai||")},
    };
    Text f = path("syntax.ini");
    ASSERT_TRUE(writeFile(f, kSyntax));
    const WCHAR* file = f.c_str();
    for (const Row& row : rows) {
        Text buffer(row.size + 1, '#');
        WCHAR* out = &buffer[0];
        DWORD count = 0;
        switch (row.call) {
        case Value: count = GetPrivateProfileStringW(TEXT("Main"), TEXT("key1"), TEXT("d"), out, row.size, file); break;
        case Keys: count = GetPrivateProfileStringW(TEXT("Plain"), nullptr, TEXT("d"), out, row.size, file); break;
        case Sections: count = GetPrivateProfileStringW(nullptr, nullptr, TEXT("d"), out, row.size, file); break;
        case Entries: count = GetPrivateProfileSectionW(TEXT("Plain"), out, row.size, file); break;
        case SectionNames: count = GetPrivateProfileSectionNamesW(out, row.size, file); break;
        }
        Text expected = nulls(row.buffer);
        EXPECT_EQ(row.count, count) << row.call << "/" << row.size;
        EXPECT_EQ(expected, buffer.substr(0, expected.size())) << row.call << "/" << row.size;
    }
}

TEST_F(ProfileRead, CutValueReportsMoreData) {
    if (plxIsWine()) GTEST_SKIP() << "Wine leaves the last error as it was when it cuts a value";
    Text f = path("syntax.ini");
    ASSERT_TRUE(writeFile(f, kSyntax));
    SetLastError(0);
    EXPECT_EQ(4u, readString(f, TEXT("Main"), TEXT("key1"), nullptr, 5).count);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), GetLastError());
}

TEST_F(ProfileRead, Integers) {
    struct Row {
        const WCHAR* key;
        INT fallback;
        UINT expected;
    };
    const Row rows[] = {
        {TEXT("missing"), 5, 5},
        {TEXT("missing"), -1, 0xFFFFFFFFu},
        {TEXT("minus"), 5, 0xFFFFFFFFu},
        {TEXT("plus"), 5, 1},
        {TEXT("wrap"), 5, 1},
        {TEXT("lead"), 5, 42},  // the leading digits
        {TEXT("word"), 5, 0},
        {TEXT("blank"), 5, 17},  // no number is 0, not the default
    };
    Text f = path("n.ini");
    ASSERT_TRUE(writeFile(f,
                          "[n]\r\nminus=-1\r\nplus=+1\r\nwrap=4294967297\r\nlead=42A94967297\r\n"
                          "word=B4294967297\r\nblank=  17  \r\n"));
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, GetPrivateProfileIntW(TEXT("N"), row.key, row.fallback, f.c_str()))
            << plxNarrow(row.key);
}

// Without a section (or key) the number is read from the first section (or key) name.
TEST_F(ProfileRead, IntegerOfANameList) {
    Text f = path("n.ini");
    ASSERT_TRUE(writeFile(f, "[12ab]\r\n34=x\r\n"));
    EXPECT_EQ(12u, GetPrivateProfileIntW(nullptr, TEXT("k"), 5, f.c_str()));
    EXPECT_EQ(34u, GetPrivateProfileIntW(TEXT("12ab"), nullptr, 5, f.c_str()));
}

TEST_F(ProfileRead, NulLineIsNoEntry) {
    if (plxIsWine()) GTEST_SKIP() << "Wine lists no entry of a file that holds a NUL byte";
    Text f = path("nul.ini"), buffer(8, '#');
    ASSERT_TRUE(writeFile(f, std::string("[S]\r\na=1\r\n\0\r\n", 13)));
    EXPECT_EQ(4u, GetPrivateProfileSectionW(TEXT("S"), &buffer[0], 8, f.c_str()));
}

TEST_F(ProfileWrite, NewSectionsAtTheEndNewKeysAfterTheLastOne) {
    Text f = path("w.ini");
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("App1"), TEXT("key1"), TEXT("string1"), f.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("App2"), TEXT("key3"), TEXT("string3"), f.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT(" app1 "), TEXT("key2"), TEXT("string2"), f.c_str()));
    EXPECT_EQ("[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n", readFile(f));

    ASSERT_TRUE(writeFile(f, "[A]\r\nx=1"));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("B"), TEXT("y"), TEXT("2"), f.c_str()));
    EXPECT_EQ("[A]\r\nx=1\r\n[B]\r\ny=2\r\n", readFile(f)) << "a last line without a line break gets one";
}

TEST_F(ProfileWrite, ChangesTheFirstMatchKeepingItsCase) {
    Text f = path("w.ini");
    ASSERT_TRUE(writeFile(f, "[Sect]\r\nKey=old\r\nKey=dup\r\n[sect]\r\nother=1\r\n"));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("SECT"), TEXT("KEY"), TEXT("new"), f.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("SECT"), TEXT("other"), TEXT("2"), f.c_str()));
    EXPECT_EQ("[Sect]\r\nKey=new\r\nKey=dup\r\nother=2\r\n[sect]\r\nother=1\r\n", readFile(f));
}

TEST_F(ProfileWrite, DeletesKeysAndSectionsAndReplacesSections) {
    Text f = path("w.ini");
    ASSERT_TRUE(writeFile(f,
                          "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey4=string4\r\n"
                          "[App3]\r\nkey5=string5\r\n[App4]\r\nold=1\r\nold2=2\r\n"));
    struct Step {
        const char* what;
        std::function<BOOL()> call;
        const char* after;
    };
    const WCHAR* file = f.c_str();
    const Step steps[] = {
        {"null value deletes the key",
         [&] { return WritePrivateProfileStringW(TEXT("App1"), TEXT("key2"), nullptr, file); },
         "[App1]\r\nkey1=string1\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n[App4]\r\nold=1\r\nold2=2\r\n"},
        {"a missing key", [&] { return WritePrivateProfileStringW(TEXT("App1"), TEXT("key2"), nullptr, file); },
         "[App1]\r\nkey1=string1\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n[App4]\r\nold=1\r\nold2=2\r\n"},
        {"null key deletes the section",
         [&] { return WritePrivateProfileStringW(TEXT("App1"), nullptr, TEXT("x"), file); },
         "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n[App4]\r\nold=1\r\nold2=2\r\n"},
        {"null section data deletes it", [&] { return WritePrivateProfileSectionW(TEXT("App2"), nullptr, file); },
         "[App3]\r\nkey5=string5\r\n[App4]\r\nold=1\r\nold2=2\r\n"},
        {"the last key goes, the header stays",
         [&] { return WritePrivateProfileStringW(TEXT("App3"), TEXT("key5"), nullptr, file); },
         "[App3]\r\n[App4]\r\nold=1\r\nold2=2\r\n"},
        {"section data replaces the entries",
         [&] { return WritePrivateProfileSectionW(TEXT("app4"), TEXT("a=1\0b=2\0"), file); },
         "[App3]\r\n[App4]\r\na=1\r\nb=2\r\n"},
        {"section data makes a new section",
         [&] { return WritePrivateProfileSectionW(TEXT("New"), TEXT("n=1\0"), file); },
         "[App3]\r\n[App4]\r\na=1\r\nb=2\r\n[New]\r\nn=1\r\n"},
    };
    for (const Step& step : steps) {
        EXPECT_TRUE(step.call()) << step.what << ": " << GetLastError();
        EXPECT_EQ(step.after, readFile(f)) << step.what;
    }
}

// Deleting from a file that is not there creates it, empty.
TEST_F(ProfileWrite, DeletingFromAMissingFileCreatesIt) {
    if (plxIsWine()) GTEST_SKIP() << "Wine creates no file when a deletion finds none";
    Text f = path("w.ini"), g = path("g.ini");
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("App1"), TEXT("key1"), nullptr, f.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("App1"), nullptr, TEXT("x"), g.c_str()));
    EXPECT_TRUE(readFile(f).empty() && readFile(g).empty());
}

TEST_F(ProfileWrite, EditsLeaveTheRestOfTheFileAsItIs) {
    if (plxIsWine())
        GTEST_SKIP() << "Wine rewrites the whole file from what it parsed: blank lines go, comments count as "
                        "entries and go with their section, values lose their leading blanks, new names keep "
                        "trailing ones";
    Text f = path("w.ini");
    ASSERT_TRUE(writeFile(f, ";top\r\n[A]\r\nx=1\r\n;note\r\n\r\n[B]\r\n;about b\r\ny=2\r\n[C]\r\nz=1\r\n"));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("A"), TEXT("new"), TEXT(" v "), f.c_str()));
    EXPECT_EQ(";top\r\n[A]\r\nx=1\r\nnew= v \r\n;note\r\n\r\n[B]\r\n;about b\r\ny=2\r\n[C]\r\nz=1\r\n", readFile(f));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("B"), nullptr, nullptr, f.c_str()));
    EXPECT_EQ(";top\r\n[A]\r\nx=1\r\nnew= v \r\n;note\r\n\r\n;about b\r\n[C]\r\nz=1\r\n", readFile(f))
        << "a deleted section's comments stay";

    ASSERT_TRUE(WritePrivateProfileStringW(TEXT(" D "), TEXT(" k "), TEXT("1"), f.c_str()));
    EXPECT_EQ(";top\r\n[A]\r\nx=1\r\nnew= v \r\n;note\r\n\r\n;about b\r\n[C]\r\nz=1\r\n[D]\r\nk=1\r\n", readFile(f))
        << "names lose the spaces around them";

    ASSERT_TRUE(writeFile(f, "\xFF\xFE"));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("S"), TEXT("k"), TEXT("v"), f.c_str()));
    EXPECT_EQ(utf16(TEXT("\r\n[S]\r\nk=v\r\n")), readFile(f)) << "the byte order mark counts as a line";
}

TEST_F(ProfileFailure, MissingFileGivesDefaultsAndFileNotFound) {
    Text f = path("none.ini");
    SetLastError(0);
    Read read = readString(f, TEXT("S"), TEXT("k"), TEXT("dflt"));
    EXPECT_EQ(4u, read.count);
    EXPECT_EQ(Text(TEXT("dflt")), Text(read.buffer.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(9u, GetPrivateProfileIntW(TEXT("S"), TEXT("k"), 9, f.c_str()));

    Text buffer(10, '#');
    EXPECT_EQ(0u, GetPrivateProfileSectionW(TEXT("S"), &buffer[0], 10, f.c_str()));
    EXPECT_EQ(0, buffer[0]);
    buffer.assign(10, '#');
    EXPECT_EQ(0u, GetPrivateProfileSectionNamesW(&buffer[0], 10, f.c_str()));
    EXPECT_EQ(nulls(TEXT("|#")), buffer.substr(0, 2)) << "one null, not two";
}

TEST_F(ProfileFailure, WritesThatCannotBeDone) {
    Text inMissing = path("nodir\\a.ini");
    EXPECT_FALSE(WritePrivateProfileStringW(TEXT("S"), TEXT("k"), TEXT("v"), inMissing.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(WritePrivateProfileSectionW(TEXT("S"), TEXT("k=v\0"), inMissing.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path("nodir").c_str())) << "no folder is made";

    Text f = path("a.ini");
    EXPECT_FALSE(WritePrivateProfileStringW(nullptr, TEXT("k"), TEXT("v"), f.c_str())) << "no section";
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ("<missing>", readFile(f));
}

TEST_F(ProfileFailure, ReadOnlyFileIsNotWritten) {
    if (plxIsWine()) GTEST_SKIP() << "Wine leaves write protection to the host's permissions, which root passes";
    Text f = path("ro.ini");
    ASSERT_TRUE(writeFile(f, "[S]\r\nk=v\r\n"));
    ASSERT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WritePrivateProfileStringW(TEXT("S"), TEXT("k"), TEXT("w"), f.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(Text(TEXT("v")), value(f, TEXT("S"), TEXT("k"))) << "reading still works";
    SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ProfileStandardUser, MayNotWriteUnderProgramFiles) {
    if (!TestMachine::canSetMachineIni()) GTEST_SKIP() << "needs a standard user (machine.ini)";
    TestMachine m;
    m.file("C:\\Program Files\\Orvane\\app.ini", "[S]\r\nk=v\r\n").ini("User", "Administrator", "0").create();
    const WCHAR* f = TEXT("C:\\Program Files\\Orvane\\app.ini");
    EXPECT_FALSE(WritePrivateProfileStringW(TEXT("S"), TEXT("k"), TEXT("w"), f));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(WritePrivateProfileSectionW(TEXT("S"), nullptr, f));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(Text(TEXT("v")), value(f, TEXT("S"), TEXT("k")));
}

TEST_F(ProfileLimit, LongValuesAreWrittenAndReadWhole) {
    Text f = path("long.ini");
    Text big(70000, 'x');
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("L"), TEXT("v"), big.c_str(), f.c_str()));
    EXPECT_EQ("[L]\r\nv=" + std::string(70000, 'x') + "\r\n", readFile(f));

    ASSERT_TRUE(writeFile(f, "[L]\r\nv=" + std::string(65535, 'y') + "\r\n"));
    Read read = readString(f, TEXT("L"), TEXT("v"), nullptr, 70000);
    EXPECT_EQ(65535u, read.count);
    EXPECT_EQ(Text(65535, 'y'), Text(read.buffer.c_str()));
}

// Measured on Windows 10: a value's length wraps at 65536, whatever the buffer.
TEST_F(ProfileLimit, ValueLengthIsKeptInSixteenBits) {
    if (plxIsWine()) GTEST_SKIP() << "Wine reads a value of any length whole";
    Text f = path("long.ini");
    ASSERT_TRUE(writeFile(f, "[L]\r\nv=ab" + std::string(65535, 'x') + "\r\nw=" + std::string(65536, 'x') + "\r\n"));
    EXPECT_EQ(1u, readString(f, TEXT("L"), TEXT("v"), nullptr, 70000).count) << "65537 characters read as 1";
    EXPECT_EQ(Text(TEXT("a")), value(f, TEXT("L"), TEXT("v")));
    EXPECT_EQ(0u, readString(f, TEXT("L"), TEXT("w"), TEXT("d"), 70000).count) << "65536 read as none";
}
