#pragma once

#include <optional>
#include <string>
#include <vector>

// Runs a system tool with an explicit argument list (no shell) and waits for it.
class ChildProcess {
public:
    // The exit status, or nothing when the program could not be started or was killed.
    static std::optional<int> run(const std::string& program, const std::vector<std::string>& args,
                                  bool quiet = true);
    // The first executable among the usual places of a system tool.
    static std::optional<std::string> findTool(const std::vector<std::string>& names);
};
