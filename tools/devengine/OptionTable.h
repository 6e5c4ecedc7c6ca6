#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

// The options one sub-command knows: which are flags, which take a value, their short names,
// and how many positional arguments it wants.
struct OptionTable {
    std::set<std::string> booleans;
    std::set<std::string> valued;
    std::map<std::string, std::string> aliases; // short name -> long name
    std::size_t minPositionals = 0;
    std::size_t maxPositionals = SIZE_MAX;
};
