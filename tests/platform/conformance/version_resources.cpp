// File version resources of the stand-in add-on libraries (real PE32 and
// PE32+ files made by the build), read through version.dll's three calls.
#include "file_conformance.h"
#include "plx_testdata.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using conf::Text;

namespace {

Text testdata(const char* relative) { return Text(PLX_TESTDATA_DIR) + plxW("\\") + plxW(relative); }

struct VersionBlock {
    DWORD size = 0;
    std::vector<BYTE> data;
};

// GetFileVersionInfoSizeW and GetFileVersionInfoW of a file; size 0 on failure.
VersionBlock readBlock(const Text& path) {
    VersionBlock block;
    DWORD handle = 0x55555555;
    block.size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    EXPECT_EQ(0u, handle);
    if (block.size == 0) return block;
    block.data.assign(block.size, 0);
    EXPECT_TRUE(GetFileVersionInfoW(path.c_str(), 0, block.size, block.data.data())) << GetLastError();
    return block;
}

const VS_FIXEDFILEINFO* fixedInfo(const VersionBlock& block) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data.data(), TEXT("\\"), &value, &length)) return nullptr;
    EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    return static_cast<const VS_FIXEDFILEINFO*>(value);
}

struct Expected {
    const char* file;
    DWORD ms, ls;
};

}  // namespace

TEST(VersionResources, FixedInfoOfEveryStandInLibrary) {
    const Expected cases[] = {
        {"plxpwm_ie_com.dll", 0x0008001E, 0x00210001},
        {"plxpwm_ie_com_x64.dll", 0x0008001E, 0x00210001},
        {"8.30.33.0\\plxpwm_ie_com.dll", 0x0008001E, 0x00210000},
        {"8.30.33.0\\plxpwm_ie_com_x64.dll", 0x0008001E, 0x00210000},
        {"8.30.34.0\\plxpwm_ie_com.dll", 0x0008001E, 0x00220000},
        {"8.30.34.0\\plxpwm_ie_com_x64.dll", 0x0008001E, 0x00220000},
        {"8.30.20.0\\plxpwm_ie_com.dll", 0x0008001E, 0x00140000},
        {"8.30.20.0\\plxpwm_ie_com_x64.dll", 0x0008001E, 0x00140000},
        {"0.0.0.0\\plxpwm_ie_com.dll", 0, 0},
        {"0.0.0.0\\plxpwm_ie_com_x64.dll", 0, 0},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.file);
        VersionBlock block = readBlock(testdata(c.file));
        ASSERT_NE(0u, block.size) << GetLastError();
        const VS_FIXEDFILEINFO* info = fixedInfo(block);
        ASSERT_NE(nullptr, info);
        EXPECT_EQ(VS_FFI_SIGNATURE, info->dwSignature);
        EXPECT_EQ(c.ms, info->dwFileVersionMS);
        EXPECT_EQ(c.ls, info->dwFileVersionLS);
        EXPECT_EQ(c.ms, info->dwProductVersionMS);
        EXPECT_EQ(2u, info->dwFileType);  // VFT_DLL
    }
}

TEST(VersionResources, SizeLeavesRoomForConvertedTexts) {
    // Windows reports twice the resource and 4 bytes; the block itself is wLength long.
    VersionBlock block = readBlock(testdata("plxpwm_ie_com.dll"));
    ASSERT_GT(block.size, 6u);
    WORD wLength = static_cast<WORD>(block.data[0] | (block.data[1] << 8));
    EXPECT_EQ(wLength * 2u + 4u, block.size);
}

TEST(VersionResources, TranslationAndStrings) {
    VersionBlock block = readBlock(testdata("plxpwm_ie_com_x64.dll"));
    ASSERT_NE(0u, block.size);
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data.data(), TEXT("\\VarFileInfo\\Translation"), &value, &length));
    ASSERT_EQ(4u, length);
    const WORD* translation = static_cast<const WORD*>(value);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(0x04B0, translation[1]);

    ASSERT_TRUE(VerQueryValueW(block.data.data(), TEXT("\\StringFileInfo\\040904b0\\FileVersion"), &value, &length));
    EXPECT_EQ("8.30.33.1", plxNarrow(static_cast<const WCHAR*>(value)));
    EXPECT_EQ(10u, length);  // characters with the terminator

    // Names are compared without regard to case.
    ASSERT_TRUE(
        VerQueryValueW(block.data.data(), TEXT("\\stringfileinfo\\040904B0\\ORIGINALFILENAME"), &value, &length));
    EXPECT_EQ("plxpwm_ie_com_x64.dll", plxNarrow(static_cast<const WCHAR*>(value)));

    EXPECT_FALSE(VerQueryValueW(block.data.data(), TEXT("\\StringFileInfo\\040904b0\\NoSuchValue"), &value, &length));
    EXPECT_FALSE(VerQueryValueW(block.data.data(), TEXT("\\StringFileInfo\\04070000\\FileVersion"), &value, &length));
}

TEST(VersionResources, EmptySubBlockIsTheFixedInfo) {
    VersionBlock block = readBlock(testdata("plxpwm_ie_com.dll"));
    ASSERT_NE(0u, block.size);
    LPVOID root = nullptr, empty = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data.data(), TEXT("\\"), &root, &length));
    ASSERT_TRUE(VerQueryValueW(block.data.data(), TEXT(""), &empty, &length));
    EXPECT_EQ(root, empty);
    EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), length);
}

TEST(VersionResources, ShortBufferGetsThePrefixOfTheBlock) {
    Text path = testdata("plxpwm_ie_com.dll");
    VersionBlock block = readBlock(path);
    ASSERT_GT(block.size, 64u);
    std::vector<BYTE> shortCopy(128, 0xCC);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, 64, shortCopy.data()));
    // The bytes after the first 64 are untouched; the first 64 follow the block
    // (apart from the length word, which may record the cut).
    for (size_t i = 64; i < 128; ++i) ASSERT_EQ(0xCC, shortCopy[i]) << i;
    for (size_t i = 2; i < 64; ++i) ASSERT_EQ(block.data[i], shortCopy[i]) << i;
}

class VersionFiles : public conf::FileCase {};

TEST_F(VersionFiles, MissingFile) {
    DWORD handle = 0x55555555;
    SetLastError(0);
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(path("missing.dll").c_str(), &handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, handle);
    BYTE buffer[64];
    EXPECT_FALSE(GetFileVersionInfoW(path("missing.dll").c_str(), 0, sizeof buffer, buffer));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(VersionFiles, FileWithoutVersionResource) {
    ASSERT_TRUE(conf::writeFile(path("notes.txt"), "not a program\r\n"));
    DWORD handle = 0x55555555;
    SetLastError(0);
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(path("notes.txt").c_str(), &handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, handle);
}

TEST_F(VersionFiles, TruncatedLibraryIsRefused) {
    std::string bytes = conf::readFile(testdata("plxpwm_ie_com.dll"));
    ASSERT_GT(bytes.size(), 1024u);
    // Headers only: the section that holds the resources is cut off.
    ASSERT_TRUE(conf::writeFile(path("cut.dll"), bytes.substr(0, 1024)));
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(path("cut.dll").c_str(), nullptr));
}

TEST_F(VersionFiles, CopyKeepsTheVersion) {
    ASSERT_TRUE(CopyFileW(testdata("8.30.34.0\\plxpwm_ie_com.dll").c_str(), path("plxpwm_ie_com.dll").c_str(), FALSE));
    VersionBlock block = readBlock(path("plxpwm_ie_com.dll"));
    ASSERT_NE(0u, block.size);
    const VS_FIXEDFILEINFO* info = fixedInfo(block);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(0x00220000u, info->dwFileVersionLS);
}

TEST_F(VersionFiles, RelativeNameIsLookedForAsLoadLibraryLooksForALibrary) {
    // Beside the program first; the current directory only after the system folders.
    WCHAR program[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
    ASSERT_GT(n, 0u);
    Text programDir = Text(program, n).substr(0, Text(program, n).find_last_of(TEXT('\\')));
    Text name = plxW("plxconf_search_") + plxW(std::to_string(GetCurrentProcessId()).c_str()) + plxW(".dll");
    Text beside = programDir + plxW("\\") + name;
    ASSERT_TRUE(CopyFileW(testdata("8.30.33.0\\plxpwm_ie_com.dll").c_str(), beside.c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(
        CopyFileW(testdata("8.30.34.0\\plxpwm_ie_com.dll").c_str(), (m_dir + plxW("\\") + name).c_str(), FALSE));
    WCHAR previous[MAX_PATH];
    DWORD length = GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    ASSERT_TRUE(SetCurrentDirectoryW(m_dir.c_str()));

    auto buildOf = [&]() -> DWORD {
        VersionBlock block = readBlock(name);
        const VS_FIXEDFILEINFO* info = block.size ? fixedInfo(block) : nullptr;
        return info ? info->dwFileVersionLS : 0;
    };
    EXPECT_EQ(0x00210000u, buildOf()) << "the library beside the program";
    EXPECT_TRUE(DeleteFileW(beside.c_str()));
    EXPECT_EQ(0x00220000u, buildOf()) << "the library in the current directory";
    EXPECT_TRUE(SetCurrentDirectoryW(previous));
}
