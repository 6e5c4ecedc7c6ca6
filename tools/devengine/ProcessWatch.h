#pragma once

#include <chrono>
#include <sys/types.h>

// Waits for a process that is not our child to end, woken by the kernel (pidfd), not by polling.
class ProcessWatch {
public:
    // True once the process has ended (or never existed); false when the time ran out.
    static bool waitForExit(pid_t pid, std::chrono::milliseconds timeout);
};
