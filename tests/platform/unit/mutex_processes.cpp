// A named mutex is one object for every process of the machine: a child that
// owns it keeps the parent waiting, and a child that ends owning it leaves it
// abandoned to the parent.
#include "plx_scoped_handle.h"
#include "plx_test_machine.h"
#include "sim_unit.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

namespace {

// A connected pair of sockets and a child process, closed and reaped with the object.
struct ChildOnASocket {
    int fds[2] = {-1, -1};
    pid_t pid = socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0 ? fork() : -1;
    ~ChildOnASocket() {
        for (int fd : fds)
            if (fd >= 0) close(fd);
        if (pid > 0) waitpid(pid, nullptr, 0);
    }
};

}  // namespace

TEST(MutexAcrossProcesses, ChildOwnerKeepsTheParentWaitingAndAbandonsIt) {
    TestMachine m;
    m.create();
    // Open before the child starts, so that the object outlives the child.
    const CPLXScopedKernelHandle handle(CreateMutexW(nullptr, FALSE, u"plx.across"));
    HANDLE mutex = handle.get();
    ASSERT_NE(nullptr, mutex);
    ChildOnASocket child;
    if (child.pid == 0) {
        close(child.fds[0]);
        HANDLE own = CreateMutexW(nullptr, FALSE, u"plx.across");
        char owned = own && WaitForSingleObject(own, 0) == WAIT_OBJECT_0 ? 'y' : 'n';
        ssize_t ended = write(child.fds[1], &owned, 1) == 1 ? read(child.fds[1], &owned, 1) : 0;
        _exit(ended == 0 ? 0 : 1);  // the parent closed its end; still owning it
    }
    close(child.fds[1]);
    child.fds[1] = -1;
    char owned = 0;
    ASSERT_EQ(1, read(child.fds[0], &owned, 1));
    ASSERT_EQ('y', owned);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(mutex, 0));
    close(child.fds[0]);
    child.fds[0] = -1;
    EXPECT_EQ(static_cast<DWORD>(WAIT_ABANDONED), WaitForSingleObject(mutex, 10000));
    EXPECT_TRUE(ReleaseMutex(mutex)) << "the parent owns it now";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0)) << "released, it is no longer abandoned";
    ReleaseMutex(mutex);
}
