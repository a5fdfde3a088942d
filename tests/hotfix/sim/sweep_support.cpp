#include "sweep_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

std::vector<Call> parseCalls(const std::string& log) {
    std::vector<Call> calls;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
        if (fields.size() < 4) continue;
        Call call;
        call.function = fields[1];
        call.occurrence = static_cast<DWORD>(std::stoul(fields[2]));
        call.error = static_cast<DWORD>(std::stoul(fields[3]));
        call.subject = fields.size() > 4 ? fields[4] : "";
        call.detail = fields.size() > 5 ? fields[5] : "";
        calls.push_back(call);
    }
    return calls;
}

MemoryTempDir::MemoryTempDir() {
    struct stat st;
    if (stat("/dev/shm", &st) != 0 || !S_ISDIR(st.st_mode) || access("/dev/shm", W_OK) != 0) return;
    const char* previous = std::getenv("TMPDIR");
    m_hadPrevious = previous != nullptr;
    if (previous) m_previous = previous;
    setenv("TMPDIR", "/dev/shm", 1);
    m_set = true;
}

MemoryTempDir::~MemoryTempDir() {
    if (m_set && m_hadPrevious)
        setenv("TMPDIR", m_previous.c_str(), 1);
    else if (m_set)
        unsetenv("TMPDIR");
}
