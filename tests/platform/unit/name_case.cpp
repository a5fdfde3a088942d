// The upper-case table names are compared through (upcase_table.inc): its
// edges, where Unicode's upper case and Windows' table part.
#include "plx_win32.h"
#include "src/internal.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(NameCase, UpcaseCharFollowsWindowsTable) {
    const struct {
        char16_t in, out;
    } cases[] = {
        {u'a', u'A'},     {u'[', u'['},     {0x00DF, 0x00DF},  // sharp s: no one-character upper case
        {0x00FF, 0x0178}, {0x0436, 0x0416}, {0x0416, 0x0416},  // ÿ Ÿ, ж Ж
        {0x03AE, 0x0389}, {0x03C2, 0x03A3},                    // ή Ή, final sigma
        {0x0561, 0x0531}, {0xFF41, 0xFF21},                    // Armenian, full-width
        {0x1F80, 0x1F88},                                      // ypogegrammeni: simple mapping
        {0x0131, 0x0131}, {0x017F, 0x017F}, {0x00B5, 0x00B5},  // dotless i, long s, micro sign
        {0x01C5, 0x01C5}, {0x03D0, 0x03D0},                    // title-case digraph, beta symbol
        {0xD801, 0xD801}, {0xDC28, 0xDC28},                    // surrogates stay
    };
    for (const auto& c : cases) {
        char label[16];
        std::snprintf(label, sizeof label, "U+%04X", static_cast<unsigned>(c.in));
        EXPECT_EQ(static_cast<unsigned>(c.out), static_cast<unsigned>(plxsim::upcaseChar(c.in))) << label;
    }
}

TEST(NameCase, ComparisonsFoldBeyondLatin1) {
    EXPECT_TRUE(plxsim::equalNoCase(u"\u0422\u0435\u0441\u0442", u"\u0422\u0415\u0421\u0422"));  // Тест ТЕСТ
    EXPECT_FALSE(plxsim::equalNoCase(u"\u0131d", u"ID"));
    EXPECT_EQ(0, lstrcmpiW(u"\u0436\u0443\u043A", u"\u0416\u0423\u041A"));  // жук ЖУК
    EXPECT_LT(lstrcmpW(u"\u0436\u0443\u043A", u"\u0416\u0423\u041A"), 0) << "lower case first";
}

}  // namespace
