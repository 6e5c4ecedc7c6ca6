#pragma once

#include <chrono>
#include <string>

// Whether a mount's engine still answers, asked on a helper thread so that a hung engine
// costs at most the time limit (the thread is left behind, blocked in the kernel).
namespace MountProbe {

enum class Answer { alive, notConnected, noAnswer };

struct Result {
    Answer answer = Answer::alive;
    int error = 0; // errno of a failed statfs
};

Result check(const std::string& mountPoint, std::chrono::milliseconds limit);
// "Transport endpoint is not connected" or "does not answer within 5 s".
std::string describe(const Result& result, std::chrono::milliseconds limit);

} // namespace MountProbe
