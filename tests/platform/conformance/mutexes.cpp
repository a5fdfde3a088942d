// Named mutexes within a process: one object per name, ownership per thread
// and counted, the errors of CreateMutexW and ReleaseMutex.  Each case uses
// names of its own.
#include "plx_scoped_handle.h"
#include "plx_test_machine.h"
#include "plx_test_text.h"
#include "plx_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

using Mutex = CPLXScopedKernelHandle;

// A mutex named plx.<case><suffix>, and the last error CreateMutexW left.
Mutex create(BOOL initialOwner, const std::string& prefix = "", const char* suffix = "", DWORD* error = nullptr) {
    std::string name = prefix + "plx." + ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
    SetLastError(1234);
    Mutex mutex(CreateMutexW(nullptr, initialOwner, plxW(name).c_str()));
    if (error) *error = GetLastError();
    return mutex;
}

}  // namespace

TEST(NamedMutex, NamesNamespacesAndASecondCreate) {
    DWORD error = 0;
    Mutex first = create(FALSE, "", "", &error);
    ASSERT_TRUE(first.isValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), error);
    const struct {
        const char *prefix, *suffix;
        DWORD error;
    } rows[] = {
        {"", "", ERROR_ALREADY_EXISTS},
        {"Local\\", "", ERROR_ALREADY_EXISTS},  // the session's namespace, where names without a prefix go
        {"Global\\", "", ERROR_SUCCESS},        // a namespace of its own
        {"", ".CASE", ERROR_SUCCESS},           // names compare case-sensitively
        {"local\\", "", ERROR_PATH_NOT_FOUND},  // so do the prefixes
        {"Local\\dir\\", "", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& row : rows) {
        Mutex other = create(FALSE, row.prefix, row.suffix, &error);
        EXPECT_EQ(row.error, error) << row.prefix << row.suffix;
        EXPECT_EQ(row.error != ERROR_PATH_NOT_FOUND, other.isValid()) << row.prefix << row.suffix;
    }
    Mutex second = create(TRUE);
    EXPECT_FALSE(ReleaseMutex(second.get())) << "bInitialOwner is ignored for an existing mutex";
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), GetLastError());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first.get(), 0));
    EXPECT_TRUE(ReleaseMutex(second.get())) << "one object behind both handles";
}

TEST(NamedMutex, OwnershipIsCountedAndBelongsToAThread) {
    Mutex mutex = create(TRUE);
    ASSERT_TRUE(mutex.isValid());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.get(), INFINITE));
    DWORD whileOwned = 0, releaseError = 0;
    std::thread([&] {
        whileOwned = WaitForSingleObject(mutex.get(), 0);
        releaseError = ReleaseMutex(mutex.get()) ? 0 : GetLastError();
    }).join();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), whileOwned);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), releaseError);
    std::atomic<bool> acquired{false};
    std::thread waiter([&] {
        acquired = WaitForSingleObject(mutex.get(), 10000) == WAIT_OBJECT_0;
        ReleaseMutex(mutex.get());
    });
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(acquired) << "owned once more";
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
    waiter.join();
    EXPECT_TRUE(acquired) << "the waiter gets it when the owner lets go";
    EXPECT_FALSE(ReleaseMutex(mutex.get()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), GetLastError());
}

TEST(NamedMutex, AThreadThatEndsOwningItAbandonsIt) {
    Mutex mutex = create(FALSE);
    ASSERT_TRUE(mutex.isValid());
    DWORD taken = WAIT_FAILED;
    std::thread([&] { taken = WaitForSingleObject(mutex.get(), 0); }).join();
    ASSERT_EQ(WAIT_OBJECT_0, taken);
    EXPECT_EQ(static_cast<DWORD>(WAIT_ABANDONED), WaitForSingleObject(mutex.get(), 0));
    EXPECT_TRUE(ReleaseMutex(mutex.get())) << "the abandoned mutex is this thread's now";
}
