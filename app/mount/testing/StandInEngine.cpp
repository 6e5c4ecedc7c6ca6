// A stand-in for the engine in tests that need an engine which never attaches: it records
// each invocation's arguments in $HOME/standin-engine.calls (one line, tab-separated) and
// then behaves per sub-command: "mount" and "umount" exit 0 at once, "warmup" runs until it
// is terminated.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void record(int argc, char** argv) {
    const char* home = std::getenv("HOME");
    if (!home)
        return;
    const std::string path = std::string(home) + "/standin-engine.calls";
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return;
    for (int i = 1; i < argc; ++i)
        std::fprintf(file, i == 1 ? "%s" : "\t%s", argv[i]);
    std::fputc('\n', file);
    std::fclose(file);
}

} // namespace

int main(int argc, char** argv) {
    record(argc, argv);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "warmup") {
        for (;;)
            pause();
    }
    if (command == "version")
        std::printf("juicefs version 1.3.1 (stand-in)\n");
    return 0;
}
