#pragma once

// `kelvane --headless`: the whole application without a desktop. Returns the exit status.
namespace HeadlessApp {

struct Options {
    // Serve the filespaces through the file-provider extension instead of mounting drives
    // (for development: nothing a user saves selects this mode).
    bool fileProvider = false;
};

int run(Options options);

} // namespace HeadlessApp
