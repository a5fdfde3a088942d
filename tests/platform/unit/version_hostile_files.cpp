// Version resources of damaged and hostile files: every truncation and many
// random byte changes of a real library, and files whose headers point
// outside the file, loop, or claim huge sizes.  Nothing may be read past the
// end of the file or of the block (run these under AddressSanitizer too).
#include "plx_test_text.h"
#include "plx_testdata.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string hostPathOf(const std::u16string& windowsPath) {
    std::string host = plxNarrow(windowsPath.substr(2));  // after "Z:"
    std::replace(host.begin(), host.end(), '\\', '/');
    return host;
}

std::u16string windowsPathOf(std::string host) {
    std::replace(host.begin(), host.end(), '/', '\\');
    return plxW("Z:" + host);
}

std::string readHost(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

DWORD u32(const std::string& b, size_t at) {
    DWORD v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
WORD u16(const std::string& b, size_t at) {
    WORD v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}
void put32(std::string& b, size_t at, DWORD v) { std::memcpy(&b[at], &v, 4); }
void put16(std::string& b, size_t at, WORD v) { std::memcpy(&b[at], &v, 2); }

// Where the parts of a (well-formed) library lie in its file.
struct Layout {
    size_t peHeader, optionalHeader, sectionCountAt, resourceDirectoryEntry, rsrcRaw;
    size_t rootDirectory, versionEntry, dataEntry, block, blockEnd;
};

Layout layoutOf(const std::string& b) {
    Layout l{};
    l.peHeader = u32(b, 0x3C);
    l.sectionCountAt = l.peHeader + 6;
    l.optionalHeader = l.peHeader + 24;
    bool pe32plus = u16(b, l.optionalHeader) == 0x20B;
    l.resourceDirectoryEntry = l.optionalHeader + (pe32plus ? 112 : 96) + 16;
    DWORD resourceRva = u32(b, l.resourceDirectoryEntry);
    size_t table = l.optionalHeader + u16(b, l.peHeader + 20);
    for (WORD i = 0; i < u16(b, l.sectionCountAt); ++i) {
        size_t s = table + i * 40u;
        if (u32(b, s + 12) == resourceRva) l.rsrcRaw = u32(b, s + 20);
    }
    l.rootDirectory = l.rsrcRaw;
    l.versionEntry = l.rootDirectory + 16;  // the only type: RT_VERSION
    size_t names = l.rsrcRaw + (u32(b, l.versionEntry + 4) & 0x7FFFFFFF);
    size_t languages = l.rsrcRaw + (u32(b, names + 16 + 4) & 0x7FFFFFFF);
    l.dataEntry = l.rsrcRaw + u32(b, languages + 16 + 4);
    l.block = l.rsrcRaw + (u32(b, l.dataEntry) - resourceRva);
    l.blockEnd = l.block + u32(b, l.dataEntry + 4);
    return l;
}

class HostileFiles : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::u16string source =
            std::u16string(PLX_TESTDATA_DIR) + u"\\" + std::u16string(GetParam(), GetParam() + std::strlen(GetParam()));
        m_original = readHost(hostPathOf(source));
        ASSERT_GT(m_original.size(), 1024u);
        ASSERT_EQ(u16(m_original, 0), 0x5A4D);
        m_layout = layoutOf(m_original);
        ASSERT_EQ(u16(m_original, m_layout.block), u32(m_original, m_layout.dataEntry + 4));
        m_dir = fs::temp_directory_path() / ("plx_version_" + std::to_string(getpid()));
        fs::create_directories(m_dir);
        m_path = (m_dir / "library.dll").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    // GetFileVersionInfoSizeW of bytes written to a file; the last error in *error.
    DWORD sizeOf(const std::string& bytes, DWORD* error = nullptr) {
        {
            // A new file each time: rewriting one in place makes the file system flush it.
            std::error_code ignored;
            fs::remove(m_path, ignored);
            std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        DWORD handle = 7;
        DWORD size = GetFileVersionInfoSizeW(windowsPathOf(m_path).c_str(), &handle);
        if (error) *error = GetLastError();
        EXPECT_EQ(0u, handle);
        return size;
    }

    // Reads and queries whatever the file gives; the queries must stay inside the block.
    void readAndQuery(DWORD size) {
        std::vector<BYTE> block(size);
        if (!GetFileVersionInfoW(windowsPathOf(m_path).c_str(), 0, size, block.data())) return;
        const WCHAR* queries[] = {u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo\\040904b0\\FileVersion",
                                  u"\\StringFileInfo\\040904b0\\ProductName", u"\\x\\y\\z"};
        for (const WCHAR* q : queries) {
            LPVOID value = nullptr;
            UINT length = 0;
            if (!VerQueryValueW(block.data(), q, &value, &length)) continue;
            const BYTE* at = static_cast<const BYTE*>(value);
            ASSERT_GE(at, block.data());
            ASSERT_LE(at, block.data() + block.size());
            if (q[1] == 0 && length) {
                ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
                VS_FIXEDFILEINFO info;
                std::memcpy(&info, at, sizeof info);
                EXPECT_EQ(VS_FFI_SIGNATURE, info.dwSignature);
            }
        }
    }

    std::string m_original;
    Layout m_layout;
    fs::path m_dir;
    std::string m_path;
};

}  // namespace

TEST_P(HostileFiles, EveryTruncation) {
    // A file holds its version exactly when it still holds the whole block.
    for (size_t length = 0; length <= m_original.size(); length += (length < m_layout.blockEnd + 64 ? 1 : 97)) {
        DWORD size = sizeOf(m_original.substr(0, length));
        ASSERT_EQ(length >= m_layout.blockEnd, size != 0) << "length " << length;
        if (size) readAndQuery(size);
    }
}

TEST_P(HostileFiles, RandomByteChanges) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = m_original;
        int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
            // Mostly the headers and the resources, where the offsets are.
            size_t at =
                random() % 2 ? random() % 0x200 : m_layout.rsrcRaw + random() % (bytes.size() - m_layout.rsrcRaw);
            bytes[at] = static_cast<char>(random());
        }
        DWORD size = sizeOf(bytes);
        if (size) readAndQuery(size);
    }
}

TEST_P(HostileFiles, HeadersPointingOutside) {
    DWORD error = 0;
    std::string b = m_original;
    put32(b, 0x3C, 0xFFFFFFF0);  // e_lfanew past the end
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_FORMAT), error);

    b = m_original;
    put16(b, m_layout.sectionCountAt, 0xFFFF);  // more sections than Windows loads
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_FORMAT), error);

    b = m_original;
    put32(b, m_layout.resourceDirectoryEntry, 0xFFFFFF00);  // resources in no section
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), error);

    b = m_original;
    put16(b, m_layout.rootDirectory + 14, 0xFFFF);  // entries far past the directory
    put32(b, m_layout.versionEntry, 3);             // and the real one no longer RT_VERSION
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), error);

    b = m_original;
    put32(b, m_layout.dataEntry + 4, 0xFFFFFFF0);  // a huge resource
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), error);

    b = m_original;
    put32(b, m_layout.dataEntry, 0x7FFFFFF0);  // data at an RVA outside every section
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), error);
}

TEST_P(HostileFiles, DirectoryLoopEndsTheWalk) {
    // The type entry's subdirectory is the root itself.
    std::string b = m_original;
    put32(b, m_layout.versionEntry + 4, 0x80000000);
    DWORD error = 0;
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), error);
}

TEST_P(HostileFiles, BlockLongerThanItsResource) {
    std::string b = m_original;
    put16(b, m_layout.block, 0xFFFF);
    DWORD error = 0;
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), error);
}

TEST_P(HostileFiles, FixedInfoWithoutSignature) {
    std::string b = m_original;
    size_t fixed = m_original.find(std::string("\xBD\x04\xEF\xFE", 4), m_layout.block);
    ASSERT_NE(std::string::npos, fixed);
    b[fixed] = 0;
    DWORD error = 0;
    EXPECT_EQ(0u, sizeOf(b, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), error);
}

TEST_P(HostileFiles, DataPastTheEndOfTheFile) {
    // The version block is cut by the end of the file, though the headers are whole.
    DWORD error = 0;
    EXPECT_EQ(0u, sizeOf(m_original.substr(0, m_layout.blockEnd - 8), &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), error);
}

TEST_P(HostileFiles, QueriesOfADamagedBlockStayInside) {
    DWORD size = sizeOf(m_original);
    ASSERT_NE(0u, size);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(windowsPathOf(m_path).c_str(), 0, size, block.data()));
    // The first child ("StringFileInfo") claims length 0: the search stops there.
    size_t child = 6 + 2 * 16 + 2 + sizeof(VS_FIXEDFILEINFO);  // header, key with padding, fixed info
    ASSERT_EQ('S', block[child + 6]);
    block[child] = 0;
    block[child + 1] = 0;
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
    EXPECT_FALSE(VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length));
    EXPECT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &length));
    // A child that claims more than its parent holds is not followed.
    block[child] = 0xFF;
    block[child + 1] = 0x7F;
    EXPECT_FALSE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, HostileFiles,
                         ::testing::Values("plxpwm_ie_com.dll", "plxpwm_ie_com_x64.dll"));
