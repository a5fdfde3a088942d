// What the fault and the crash sweep share: the calls of a run as calls.log
// lists them, and computers kept in memory.
#ifndef SWEEP_SUPPORT_H
#define SWEEP_SUPPORT_H

#include "plx_win32.h"

#include <string>
#include <vector>

// One line of calls.log.
struct Call {
    std::string function;
    DWORD occurrence = 0;
    DWORD error = 0;  // injected
    std::string subject, detail;
};

std::vector<Call> parseCalls(const std::string& log);

// The sweeps' computers lie in memory while this lives, when the host has a
// tmpfs: on a disk every run would wait for the journal at each registry
// fsync and removal.
class MemoryTempDir {
public:
    MemoryTempDir();
    ~MemoryTempDir();
    MemoryTempDir(const MemoryTempDir&) = delete;
    MemoryTempDir& operator=(const MemoryTempDir&) = delete;

private:
    bool m_set = false, m_hadPrevious = false;
    std::string m_previous;
};

#endif
