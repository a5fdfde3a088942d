// A named mutex is one object for every process of the machine: a child that
// owns it keeps the parent waiting, and a child that ends owning it leaves it
// abandoned to the parent.
#include "plx_test_machine.h"
#include "sim_unit.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace {

// The two ends of a pipe, closed with the object.
struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(0, pipe(fds)); }
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0) close(fd);
    }
    void send(char c) { EXPECT_EQ(1, write(fds[1], &c, 1)); }
    char receive() {
        char c = 0;
        return read(fds[0], &c, 1) == 1 ? c : 0;
    }
};

// A child process, ended and reaped with the object if it is still there.
struct Child {
    pid_t pid = fork();
    ~Child() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    void reap() {
        waitpid(pid, nullptr, 0);
        pid = 0;
    }
};

struct Handle {
    HANDLE handle;
    ~Handle() {
        if (handle) CloseHandle(handle);
    }
};

}  // namespace

TEST(MutexAcrossProcesses, ChildOwnerKeepsTheParentWaitingAndAbandonsIt) {
    TestMachine m;
    m.create();
    // Open before the child starts: the object outlives the child.
    Handle mutex{CreateMutexW(nullptr, FALSE, u"plx.across")};
    ASSERT_NE(nullptr, mutex.handle);
    Pipe owned, end;
    Child child;
    if (child.pid == 0) {
        close(end.fds[1]);  // so that the child ends with the parent
        HANDLE own = CreateMutexW(nullptr, FALSE, u"plx.across");
        bool ok = own && GetLastError() == ERROR_ALREADY_EXISTS && WaitForSingleObject(own, 0) == WAIT_OBJECT_0;
        owned.send(ok ? 'y' : 'n');
        end.receive();
        _exit(0);  // still owning it
    }
    ASSERT_EQ('y', owned.receive());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(mutex.handle, 0));
    end.send('x');
    EXPECT_EQ(static_cast<DWORD>(WAIT_ABANDONED), WaitForSingleObject(mutex.handle, 10000));
    child.reap();
    EXPECT_TRUE(ReleaseMutex(mutex.handle)) << "the parent owns it now";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.handle, 0)) << "released, it is no longer abandoned";
    EXPECT_TRUE(ReleaseMutex(mutex.handle));
}
