#include "tools/devengine/WarmupCommand.h"

#include "tools/devengine/EngineLog.h"
#include "tools/devengine/Units.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr unsigned kDefaultThreads = 50;
constexpr std::size_t kReadBytes = 1 << 20;

} // namespace

OptionTable WarmupCommand::optionTable() {
    OptionTable table;
    table.booleans = {"background", "evict", "check", "verbose", "debug", "quiet"};
    table.valued = {"threads", "file"};
    table.aliases = {
        {"p", "threads"}, {"f", "file"}, {"b", "background"}, {"v", "verbose"}, {"q", "quiet"}};
    return table;
}

std::vector<std::string> WarmupCommand::filesUnder(const std::vector<std::string>& paths,
                                                   std::uint64_t& failures) {
    std::vector<std::string> files;
    for (const auto& path : paths) {
        std::error_code error;
        if (fs::is_regular_file(path, error)) {
            files.push_back(path);
        } else if (fs::is_directory(path, error)) {
            for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
                 it.increment(error))
                if (it->is_regular_file(error))
                    files.push_back(it->path().string());
        } else {
            logWarning("warmup: " + path + " does not exist");
            ++failures;
        }
    }
    return files;
}

bool WarmupCommand::readThrough(const std::string& file, std::uint64_t& bytes) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<char> buffer(kReadBytes);
    ssize_t got = 0;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0)
        bytes += static_cast<std::uint64_t>(got);
    ::close(fd);
    return got == 0;
}

WarmupCommand::Result WarmupCommand::warm(const std::vector<std::string>& paths, unsigned threads) {
    Result result;
    const std::vector<std::string> files = filesUnder(paths, result.failures);
    std::atomic<std::size_t> next{0};
    std::atomic<std::uint64_t> bytes{0}, failures{0};
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::max(1u, std::min<unsigned>(threads, files.size())); ++i)
        workers.emplace_back([&] {
            for (std::size_t k = next++; k < files.size(); k = next++) {
                std::uint64_t read = 0;
                if (!readThrough(files[k], read)) {
                    logWarning("warmup: cannot read " + files[k]);
                    ++failures;
                }
                bytes += read;
            }
        });
    for (auto& worker : workers)
        worker.join();
    result.files = files.size();
    result.bytes = bytes;
    result.failures += failures;
    return result;
}

int WarmupCommand::run(const std::vector<std::string>& args) {
    const CommandLine line = CommandLine::parse(args, optionTable());
    std::vector<std::string> paths = line.positionals();
    if (const auto listFile = line.value("file")) {
        std::ifstream in(*listFile);
        for (std::string path; std::getline(in, path);)
            if (!path.empty())
                paths.push_back(path);
    }
    const unsigned long threads =
        std::strtoul(line.valueOr("threads", std::to_string(kDefaultThreads)).c_str(), nullptr, 10);
    if (line.error() || paths.empty() || threads == 0) {
        logError("usage: juicefs warmup [--threads N] PATH...");
        return 1;
    }
    const Result result = warm(paths, static_cast<unsigned>(threads));
    std::printf("Warmed up %llu file(s), %s (%llu bytes), %llu failed\n",
                static_cast<unsigned long long>(result.files),
                Units::humanBytes(result.bytes).c_str(),
                static_cast<unsigned long long>(result.bytes),
                static_cast<unsigned long long>(result.failures));
    return result.failures == 0 ? 0 : 1;
}
