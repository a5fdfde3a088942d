// The resource script converter (cmake/rc_to_table.cmake), run as the build runs it.
#include "sim_unit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace simunit;

namespace {

std::string converterPath() {
    std::string here = __FILE__;  // .../tests/platform/unit/rc_conversion.cpp
    return here.substr(0, here.rfind("/tests/")) + "/cmake/rc_to_table.cmake";
}

// Converts rc text; returns the generated C++ or "<failed>".
std::string convert(const std::string& rc, std::string* dirOut = nullptr) {
    char dirTemplate[] = "/tmp/plx-rc-XXXXXX";
    std::string dir = mkdtemp(dirTemplate);
    if (dirOut) *dirOut = dir;
    hostWrite(dir + "/in.rc", rc);
    std::string command =
        "cmake -DINPUT=" + dir + "/in.rc -DOUTPUT=" + dir + "/out.cpp -P " + converterPath() + " >" + dir + "/log 2>&1";
    int status = std::system(command.c_str());
    std::string out = status == 0 ? hostRead(dir + "/out.cpp") : "<failed>";
    std::filesystem::remove_all(dir);
    return out;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(RcConversion, IdsTextsAndEscapes) {
    std::string out = convert(
        "#include <windows.h>\n"
        "#define IDS_ONE 1120\n"
        "/* a comment with STRINGTABLE BEGIN \"x\" END */\n"
        "1 VERSIONINFO\nBEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    VALUE \"FileVersion\", \"1.0\"\n  END\nEND\n"
        "STRINGTABLE DISCARDABLE\n"
        "BEGIN\n"
        "    IDS_ONE, \"Say \"\"Hi\"\"\"   // trailing comment\n"
        "    1121 \"Tab\\there; semi\"\n"
        "    0x462 L\"wide \" \"joined\"\n"
        "END\n");
    EXPECT_TRUE(contains(out, "#define IDS_ONE 1120")) << out;
    EXPECT_FALSE(contains(out, "windows.h")) << "system headers are not needed";
    EXPECT_TRUE(contains(out, "{static_cast<unsigned>(IDS_ONE), u\"Say \\\"Hi\\\"\"")) << out;
    EXPECT_TRUE(contains(out, "{static_cast<unsigned>(1121), u\"Tab\\there; semi\"")) << out;
    EXPECT_TRUE(contains(out, "{static_cast<unsigned>(0x462), u\"wide \" u\"joined\"")) << out;
    EXPECT_FALSE(contains(out, "FileVersion")) << "other resources are ignored";
    EXPECT_FALSE(contains(out, "u\"x\"")) << "comments are ignored";
}

TEST(RcConversion, NonAsciiAndHeaders) {
    std::string dir;
    std::string out = convert(
        "\xEF\xBB\xBF#include \"ids.h\"\nSTRINGTABLE\n{\n  IDS_GREETING \"Gr\xC3\xBC\xC3\x9F"
        "e\"\n}\n",
        &dir);
    EXPECT_TRUE(contains(out, "#include \"" + dir + "/ids.h\"")) << out;
    EXPECT_TRUE(contains(out,
                         "u\"Gr\xC3\xBC\xC3\x9F"
                         "e\""))
        << out;
}

TEST(RcConversion, ScriptWithoutStringsAndBrokenScripts) {
    std::string out = convert("1 VERSIONINFO\nBEGIN\nEND\n");
    EXPECT_NE("<failed>", out);
    EXPECT_FALSE(contains(out, "registerStringTable")) << "nothing to register";
    EXPECT_EQ("<failed>", convert("STRINGTABLE\nBEGIN\n 1 \"never closed\"\n"));
    EXPECT_EQ("<failed>", convert("STRINGTABLE\nBEGIN\n \"no id\"\nEND\n"));
}
