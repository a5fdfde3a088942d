// CPLXBuffer: exact sizes, zero fill, wipe before release, the joining and
// reading operations and their argument failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "plx_buffer.h"
#include "plx_core_test_util.h"

// Array deletes of this executable go through here so that a test can look
// at a block's bytes just before it is freed.
namespace {
const void* g_pWatched = nullptr;
size_t g_watchedBytes = 0;
std::vector<unsigned char> g_freedBytes;
bool g_watchedFreed = false;

void noteFree(void* p) {
    if (p != nullptr && p == g_pWatched) {
        const unsigned char* pBytes = static_cast<const unsigned char*>(p);
        g_freedBytes.assign(pBytes, pBytes + g_watchedBytes);
        g_watchedFreed = true;
        g_pWatched = nullptr;
    }
}
}  // namespace

void* operator new[](size_t size) {
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void operator delete[](void* p) noexcept {
    noteFree(p);
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    noteFree(p);
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    noteFree(p);
    std::free(p);
}

namespace {

typedef CPLXBuffer<unsigned char> ByteBuffer;
typedef CPLXBuffer<unsigned short> WideBuffer;

ByteBuffer bytes(std::initializer_list<unsigned char> values) {
    std::vector<unsigned char> data(values);
    return ByteBuffer(data.data(), static_cast<ULONG>(data.size()));
}

std::vector<unsigned char> contents(const ByteBuffer& buffer) {
    if (buffer.getNumElems() == 0) {
        return {};
    }
    return std::vector<unsigned char>(buffer.getBuffer(), buffer.getBuffer() + buffer.getNumElems());
}

typedef std::vector<unsigned char> Bytes;

TEST(BufferTest, ConstructionSizesExactlyAndZeroFills) {
    ByteBuffer empty;
    EXPECT_EQ(empty.getBuffer(), nullptr);
    EXPECT_EQ(empty.getNumElems(), 0u);
    EXPECT_TRUE(empty.release());

    WideBuffer counted(5);
    ASSERT_EQ(counted.getNumElems(), 5u);
    for (ULONG i = 0; i < 5; ++i) {
        EXPECT_EQ(counted[i], 0);
    }

    const unsigned char data[] = {1, 2, 3};
    EXPECT_EQ(contents(ByteBuffer(data, 3, 2)), (Bytes{0, 0, 1, 2, 3}));
    // A zero count copies nothing and ignores the offset; no data gives zeros.
    EXPECT_EQ(ByteBuffer(data, 0, 4).getNumElems(), 0u);
    EXPECT_EQ(contents(ByteBuffer(nullptr, 3, 9)), (Bytes{0, 0, 0}));

    ByteBuffer copy(bytes({7, 8}));
    EXPECT_EQ(contents(copy), (Bytes{7, 8}));
}

TEST(BufferTest, AllocateReleaseAndResize) {
    ByteBuffer buffer = bytes({1, 2, 3});
    EXPECT_TRUE(buffer.resize(5));
    EXPECT_EQ(contents(buffer), (Bytes{1, 2, 3, 0, 0}));
    EXPECT_TRUE(buffer.resize(2));
    EXPECT_EQ(contents(buffer), (Bytes{1, 2}));
    EXPECT_TRUE(buffer.resize(0));
    EXPECT_EQ(buffer.getBuffer(), nullptr);

    buffer = bytes({4, 5});
    EXPECT_TRUE(buffer.allocate(3));
    EXPECT_EQ(contents(buffer), (Bytes{0, 0, 0}));
    EXPECT_TRUE(buffer.allocate(0));
    EXPECT_EQ(buffer.getBuffer(), nullptr);
    EXPECT_EQ(buffer.getNumElems(), 0u);
}

TEST(BufferTest, ReleaseWipesTheArrayBeforeFreeingIt) {
    WideBuffer buffer(4);
    for (ULONG i = 0; i < 4; ++i) {
        buffer[i] = static_cast<unsigned short>(0xA5A5 + i);
    }
    g_watchedFreed = false;
    g_pWatched = buffer.getBuffer();
    g_watchedBytes = 4 * sizeof(unsigned short);
    EXPECT_TRUE(buffer.release());
    ASSERT_TRUE(g_watchedFreed);
    EXPECT_EQ(g_freedBytes, Bytes(8, 0));
    EXPECT_EQ(buffer.getBuffer(), nullptr);
}

TEST(BufferTest, AssignAndAppendIncludingThemselves) {
    ByteBuffer buffer = bytes({1, 2});
    ByteBuffer& same = buffer;
    buffer = same;
    EXPECT_EQ(contents(buffer), (Bytes{1, 2}));

    EXPECT_TRUE(buffer.append(bytes({3})));
    EXPECT_EQ(contents(buffer), (Bytes{1, 2, 3}));
    EXPECT_TRUE(buffer.append(buffer));
    EXPECT_EQ(contents(buffer), (Bytes{1, 2, 3, 1, 2, 3}));
    buffer += bytes({9});
    EXPECT_EQ(contents(buffer), (Bytes{1, 2, 3, 1, 2, 3, 9}));

    ByteBuffer empty;
    buffer = empty;
    EXPECT_EQ(buffer.getNumElems(), 0u);
    EXPECT_TRUE(buffer.append(empty));
    EXPECT_EQ(buffer.getNumElems(), 0u);
}

TEST(BufferTest, AppendAtCutsAtTheOffset) {
    ByteBuffer buffer = bytes({1, 2, 3});
    EXPECT_TRUE(buffer.appendAt(bytes({8, 9}), 3));  // at the count: a plain append
    EXPECT_EQ(contents(buffer), (Bytes{1, 2, 3, 8, 9}));
    EXPECT_TRUE(buffer.appendAt(bytes({7}), 1));
    EXPECT_EQ(contents(buffer), (Bytes{1, 7}));
    EXPECT_FALSE(buffer.appendAt(bytes({5}), 3));
    EXPECT_EQ(contents(buffer), (Bytes{1, 7}));
    // Appending nothing is the cut alone.
    EXPECT_TRUE(buffer.appendAt(ByteBuffer(), 1));
    EXPECT_EQ(contents(buffer), (Bytes{1}));
}

TEST(BufferTest, WriteInPlaceOrGrowing) {
    ByteBuffer buffer = bytes({1, 2, 3, 4});
    EXPECT_TRUE(buffer.write(bytes({8, 9}), 2, false));  // exactly up to the end
    EXPECT_EQ(contents(buffer), (Bytes{1, 2, 8, 9}));
    EXPECT_TRUE(buffer.write(bytes({7}), 1, false));  // the tail is kept
    EXPECT_EQ(contents(buffer), (Bytes{1, 7, 8, 9}));
    EXPECT_FALSE(buffer.write(bytes({5, 6}), 3, false));
    EXPECT_EQ(contents(buffer), (Bytes{1, 7, 8, 9}));
    EXPECT_TRUE(buffer.write(bytes({5, 6}), 3, true));
    EXPECT_EQ(contents(buffer), (Bytes{1, 7, 8, 5, 6}));
    EXPECT_FALSE(buffer.write(ByteBuffer(), 0, true));
    EXPECT_EQ(buffer.getNumElems(), 5u);
    EXPECT_TRUE(buffer.write(buffer, 0, false));
    EXPECT_EQ(contents(buffer), (Bytes{1, 7, 8, 5, 6}));
}

TEST(BufferTest, ReadReportsWhatCouldBeRead) {
    ByteBuffer buffer = bytes({1, 2, 3, 4});
    ByteBuffer out = bytes({9});
    ULONG ulCount = 5;
    EXPECT_FALSE(buffer.read(out, 2, ulCount));
    EXPECT_EQ(ulCount, 2u);
    EXPECT_EQ(out.getNumElems(), 0u);
    ulCount = 1;
    EXPECT_FALSE(buffer.read(out, 6, ulCount));
    EXPECT_EQ(ulCount, 0u);

    ulCount = 0;
    EXPECT_TRUE(buffer.read(out, 0, ulCount));
    EXPECT_EQ(out.getNumElems(), 0u);
    ulCount = 2;
    EXPECT_TRUE(buffer.read(out, 1, ulCount));
    EXPECT_EQ(contents(out), (Bytes{2, 3}));

    unsigned char raw[3] = {0xEE, 0xEE, 0xEE};
    ulCount = 2;
    EXPECT_TRUE(buffer.read(raw, 2, ulCount));
    EXPECT_EQ(raw[0], 3);
    EXPECT_EQ(raw[1], 4);
    EXPECT_EQ(raw[2], 0xEE);
    EXPECT_FALSE(buffer.read(static_cast<unsigned char*>(nullptr), 0, ulCount));
}

TEST(BufferTest, ConversionsBetweenBytesAndUnits) {
    CPLXBuffer<unsigned short> wide = bytes({0x41, 0x42, 0x43}).toWideBuffer();
    ASSERT_EQ(wide.getNumElems(), 2u);
    EXPECT_EQ(wide[0], 0x4241);
    EXPECT_EQ(wide[1], 0x0043);
    EXPECT_EQ(contents(wide.toByteBuffer()), (Bytes{0x41, 0x42, 0x43, 0x00}));
    EXPECT_EQ(ByteBuffer().toWideBuffer().getNumElems(), 0u);
}

TEST(BufferTest, IndexPastTheEndIsLoggedBeforeItIsThrown) {
    PlxLoggingOn on("buffer_index");
    WideBuffer buffer(2);
    const WideBuffer& constant = buffer;
    EXPECT_NO_THROW(buffer[1] = 7);
    EXPECT_EQ(constant[1], 7);
    size_t entriesAtThrow = 0;
    try {
        buffer[2] = 1;
        ADD_FAILURE() << "no exception";
    } catch (CPLXIndexOutOfBoundsException& e) {
        EXPECT_TRUE(e.isLogged());
        entriesAtThrow = plxCountEntries(on.entries(), "Index out of array bounds");
    }
    EXPECT_EQ(entriesAtThrow, 1u);
    EXPECT_THROW(constant[5], CPLXIndexOutOfBoundsException);
}

TEST(BufferTest, ArgumentFailuresAreLoggedOnceEach) {
    PlxLoggingOn on("buffer_arguments");
    ByteBuffer buffer = bytes({1, 2});
    ByteBuffer out;
    ULONG ulCount = 3;
    EXPECT_FALSE(buffer.appendAt(bytes({1}), 3));
    EXPECT_FALSE(buffer.write(ByteBuffer(), 0, false));
    EXPECT_FALSE(buffer.write(bytes({1, 2}), 1, false));
    EXPECT_FALSE(buffer.read(out, 0, ulCount));
    EXPECT_FALSE(buffer.read(static_cast<unsigned char*>(nullptr), 0, ulCount));
    std::vector<std::string> entries = on.entries();
    EXPECT_EQ(
        plxCountEntries(entries, "( ulOffset ). can't append a buffer at an offset past the bounds of this buffer"),
        1u);
    EXPECT_EQ(plxCountEntries(entries, "( buffer ). buffer is of zero size - can't write"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "( buffer ). buffer + offset will overrun this buffer"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "( ulNumElems + ulOffset ). can't read more elements than are in this buffer"),
              1u);
    EXPECT_EQ(plxCountEntries(entries, "( pBuffer ). value is NULL"), 1u);
    EXPECT_EQ(plxCountEntries(entries, "An unhandled exception occurred"), 0u);
    EXPECT_EQ(entries.size(), 5u);
}

}  // namespace
