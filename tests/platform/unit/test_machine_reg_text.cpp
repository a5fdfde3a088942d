// What TestMachine reads from .reg text (the platform's reader) to fill a
// real Windows registry.
#include "plx_test_machine.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(TestMachineRegText, KeysAndValueKinds) {
    std::vector<PlxRegTextKey> keys = plxParseRegText(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Vaultline Security Suite]\r\n"
        "@=\"default\"\r\n"
        "\"Install\\\"Path\\\\\"=\"C:\\\\Program Files\\\\Orvane\"\r\n"
        "\"Count\"=dword:0000010A\r\n"
        "\"Blob\"=hex:01,ff,\\\r\n"
        "  10\r\n"
        "\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
        "\"Gone\"=-\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Old]\r\n");
    ASSERT_EQ(2u, keys.size());
    const PlxRegTextKey& key = keys[0];
    EXPECT_EQ(u"HKEY_LOCAL_MACHINE", key.root);
    EXPECT_EQ(u"SOFTWARE\\Orvane\\Vaultline Security Suite", key.path);
    EXPECT_FALSE(key.remove);
    ASSERT_EQ(6u, key.values.size());
    EXPECT_EQ(u"", key.values[0].name);
    EXPECT_EQ(1u, key.values[0].type);
    EXPECT_EQ(u"Install\"Path\\", key.values[1].name);
    std::vector<uint8_t> path;
    for (char c : std::string("C:\\Program Files\\Orvane")) {
        path.push_back(static_cast<uint8_t>(c));
        path.push_back(0);
    }
    path.push_back(0);
    path.push_back(0);
    EXPECT_EQ(path, key.values[1].data);
    EXPECT_EQ(4u, key.values[2].type);
    EXPECT_EQ((std::vector<uint8_t>{0x0A, 0x01, 0, 0}), key.values[2].data);
    EXPECT_EQ(3u, key.values[3].type);
    EXPECT_EQ((std::vector<uint8_t>{0x01, 0xFF, 0x10}), key.values[3].data) << "continued hex list";
    EXPECT_EQ(7u, key.values[4].type);
    EXPECT_EQ(6u, key.values[4].data.size());
    EXPECT_TRUE(key.values[5].remove);
    EXPECT_EQ(u"HKEY_CURRENT_USER", keys[1].root);
    EXPECT_TRUE(keys[1].remove);
}

TEST(TestMachineRegText, NonAsciiText) {
    std::vector<PlxRegTextKey> keys = plxParseRegText(
        "[HKEY_CURRENT_USER\\Software\\T]\n\"N\"=\"Gr\xC3\xBC\xC3\x9F"
        "e\"\n");
    ASSERT_EQ(1u, keys.size());
    EXPECT_EQ((std::vector<uint8_t>{'G', 0, 'r', 0, 0xFC, 0, 0xDF, 0, 'e', 0, 0, 0}), keys[0].values[0].data);
}

TEST(TestMachineRegText, BadTextIsRefused) {
    for (const char* text : {"\"v\"=\"outside a key\"\n", "[HKEY_NOWHERE\\x]\n", "[HKLM\\x]\n",
                             "[-HKEY_LOCAL_MACHINE]\n", "[HKEY_LOCAL_MACHINE\\x]\n\"v\"=dword:123456789\n",
                             "[HKEY_LOCAL_MACHINE\\x]\n\"v\"=hex:1g\n", "[HKEY_LOCAL_MACHINE\\x]\n\"v=\"x\"\n"})
        EXPECT_THROW(plxParseRegText(text), std::runtime_error) << text;
}
