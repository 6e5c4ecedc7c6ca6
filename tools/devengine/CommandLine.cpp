#include "tools/devengine/CommandLine.h"

namespace {

bool isOption(const std::string& token) {
    return token.size() > 1 && token[0] == '-';
}

std::string stripDashes(const std::string& token) {
    return token.substr(token.rfind("--", 0) == 0 ? 2 : 1);
}

bool isFalse(const std::string& text) {
    return text == "false" || text == "0" || text == "no";
}

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& args, const OptionTable& table) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && !line.error_; ++i) {
        if (!optionsEnded && args[i] == "--")
            optionsEnded = true;
        else if (!optionsEnded && isOption(args[i]))
            line.take(args, i, table);
        else
            line.positionals_.push_back(args[i]);
    }
    if (!line.error_ && line.positionals_.size() < table.minPositionals)
        line.error_ = "missing arguments";
    if (!line.error_ && line.positionals_.size() > table.maxPositionals)
        line.error_ = "too many arguments";
    return line;
}

void CommandLine::take(const std::vector<std::string>& args, std::size_t& i,
                       const OptionTable& table) {
    std::string name = stripDashes(args[i]);
    std::optional<std::string> inlineValue;
    if (const auto eq = name.find('='); eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.resize(eq);
    }
    if (const auto alias = table.aliases.find(name); alias != table.aliases.end())
        name = alias->second;
    if (table.booleans.count(name)) {
        values_[name].push_back(inlineValue && isFalse(*inlineValue) ? "false" : "true");
    } else if (table.valued.count(name)) {
        if (inlineValue)
            values_[name].push_back(*inlineValue);
        else if (i + 1 < args.size())
            values_[name].push_back(args[++i]);
        else
            error_ = "option --" + name + " needs a value";
    } else if (inlineValue) {
        ignored_.push_back(name + "=" + *inlineValue);
    } else {
        takeUnknown(name, args, i, table);
    }
}

// Whether an unknown option carries a value is guessed: it takes the next token unless that
// token is an option or is needed as one of the trailing positional arguments.
void CommandLine::takeUnknown(const std::string& name, const std::vector<std::string>& args,
                              std::size_t& i, const OptionTable& table) {
    const std::size_t stillNeeded =
        table.minPositionals > positionals_.size() ? table.minPositionals - positionals_.size() : 0;
    const bool hasNext = i + 1 < args.size() && !isOption(args[i + 1]);
    if (hasNext && args.size() - (i + 2) >= stillNeeded) {
        ignored_.push_back(name + "=" + args[i + 1]);
        ++i;
    } else {
        ignored_.push_back(name);
    }
}

bool CommandLine::has(const std::string& name) const {
    return values_.count(name) > 0;
}

bool CommandLine::flag(const std::string& name) const {
    const auto v = value(name);
    return v && *v == "true";
}

std::optional<std::string> CommandLine::value(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end() || it->second.empty())
        return std::nullopt;
    return it->second.back();
}

std::vector<std::string> CommandLine::values(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
}

std::string CommandLine::valueOr(const std::string& name, const std::string& fallback) const {
    return value(name).value_or(fallback);
}
