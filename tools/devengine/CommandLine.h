#pragma once

#include "tools/devengine/OptionTable.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// One sub-command's arguments, parsed by its OptionTable. Options may be written
// `--name value`, `--name=value`, `-name value` or as bare boolean flags; unknown options are
// kept aside so the caller can log them instead of failing, as the client passes tuning that
// this engine does not model.
class CommandLine {
public:
    static CommandLine parse(const std::vector<std::string>& args, const OptionTable& table);

    bool has(const std::string& name) const;
    bool flag(const std::string& name) const;
    std::optional<std::string> value(const std::string& name) const;
    std::vector<std::string> values(const std::string& name) const;
    std::string valueOr(const std::string& name, const std::string& fallback) const;

    const std::vector<std::string>& positionals() const { return positionals_; }
    const std::vector<std::string>& ignored() const { return ignored_; }
    const std::optional<std::string>& error() const { return error_; }

private:
    void take(const std::vector<std::string>& args, std::size_t& i, const OptionTable& table);
    void takeUnknown(const std::string& name, const std::vector<std::string>& args, std::size_t& i,
                     const OptionTable& table);

    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> positionals_;
    std::vector<std::string> ignored_;
    std::optional<std::string> error_;
};
