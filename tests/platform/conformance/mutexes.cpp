// Named mutexes within a process: one object per name, ownership per thread
// and recursive, the errors of CreateMutexW and ReleaseMutex.  Each case uses
// names of its own, so that cases do not meet.
#include "plx_test_machine.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// A mutex handle that closes itself.
class Mutex {
public:
    Mutex(BOOL initialOwner, const std::u16string& name)
        : m_handle(CreateMutexW(nullptr, initialOwner, reinterpret_cast<const WCHAR*>(name.c_str()))),
          m_error(GetLastError()) {}
    ~Mutex() {
        if (m_handle) CloseHandle(m_handle);
    }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    HANDLE get() const { return m_handle; }
    DWORD createError() const { return m_error; }  // the last error CreateMutexW left

private:
    HANDLE m_handle;
    DWORD m_error;
};

// A name no other case uses: plx.<case>.<suffix>.
std::u16string nameOf(const char* suffix) {
    std::string name = std::string("plx.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    name += std::string(".") + suffix;
    return std::u16string(name.begin(), name.end());
}

}  // namespace

TEST(NamedMutex, SecondCreateOpensTheSameObjectWithoutOwningIt) {
    SetLastError(1234);
    Mutex first(FALSE, nameOf("m"));
    ASSERT_NE(nullptr, first.get());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), first.createError());
    Mutex second(TRUE, nameOf("m"));
    ASSERT_NE(nullptr, second.get());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), second.createError());
    EXPECT_FALSE(ReleaseMutex(second.get())) << "bInitialOwner is ignored for an existing mutex";
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), GetLastError());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first.get(), 0));
    EXPECT_TRUE(ReleaseMutex(second.get())) << "one object behind both handles";
}

TEST(NamedMutex, NamesAndNamespaces) {
    Mutex plain(FALSE, nameOf("n"));
    ASSERT_NE(nullptr, plain.get());
    struct Row {
        std::u16string name;
        DWORD error;
    };
    const Row rows[] = {
        {u"Local\\" + nameOf("n"), ERROR_ALREADY_EXISTS},  // the session's namespace, where names without a prefix go
        {u"Global\\" + nameOf("n"), ERROR_SUCCESS},      // a namespace of its own
        {nameOf("N"), ERROR_SUCCESS},                       // names compare case-sensitively
        {u"Local\\dir\\" + nameOf("n"), ERROR_PATH_NOT_FOUND},  // a backslash names a directory
    };
    for (const Row& row : rows) {
        Mutex other(FALSE, row.name);
        EXPECT_EQ(row.error, other.createError()) << std::string(row.name.begin(), row.name.end());
        EXPECT_EQ(row.error == ERROR_PATH_NOT_FOUND, other.get() == nullptr);
    }
}

TEST(NamedMutex, OwnershipIsRecursive) {
    Mutex mutex(TRUE, nameOf("r"));
    ASSERT_NE(nullptr, mutex.get());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.get(), 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.get(), INFINITE));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(ReleaseMutex(mutex.get())) << "release " << i + 1;
    EXPECT_FALSE(ReleaseMutex(mutex.get())) << "one release more than acquisitions";
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), GetLastError());
}

TEST(NamedMutex, AnotherThreadWaitsForTheOwner) {
    Mutex mutex(TRUE, nameOf("t"));
    ASSERT_NE(nullptr, mutex.get());
    DWORD whileOwned = 0, releaseError = 0, afterRelease = 0;
    BOOL released = TRUE;
    std::thread other([&] {
        whileOwned = WaitForSingleObject(mutex.get(), 0);
        released = ReleaseMutex(mutex.get());
        releaseError = GetLastError();
    });
    other.join();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), whileOwned);
    EXPECT_FALSE(released) << "a thread that does not own it";
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), releaseError);

    std::thread waiter([&] {
        afterRelease = WaitForSingleObject(mutex.get(), 10000);
        ReleaseMutex(mutex.get());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
    waiter.join();
    EXPECT_EQ(WAIT_OBJECT_0, afterRelease) << "the waiter gets it when the owner releases it";
}

TEST(NamedMutex, AThreadThatEndsOwningItAbandonsIt) {
    Mutex mutex(FALSE, nameOf("a"));
    ASSERT_NE(nullptr, mutex.get());
    DWORD taken = WAIT_FAILED;
    std::thread owner([&] { taken = WaitForSingleObject(mutex.get(), 0); });
    owner.join();
    ASSERT_EQ(WAIT_OBJECT_0, taken);
    EXPECT_EQ(static_cast<DWORD>(WAIT_ABANDONED), WaitForSingleObject(mutex.get(), 0));
    EXPECT_TRUE(ReleaseMutex(mutex.get())) << "the abandoned mutex is now this thread's";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.get(), 0));
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
}
