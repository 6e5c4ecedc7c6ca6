#pragma once

#include <memory>

// `kelvane --headless`: the whole application without a desktop. Returns the exit status.
namespace HeadlessApp {
int run();
} // namespace HeadlessApp
