#include "tools/devengine/EngineLog.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

const char* levelTag(LogLevel level) {
    switch (level) {
    case LogLevel::Debug:
        return "<DEBUG>";
    case LogLevel::Info:
        return "<INFO>";
    case LogLevel::Warning:
        return "<WARNING>";
    case LogLevel::Error:
        return "<ERROR>";
    case LogLevel::Fatal:
        return "<FATAL>";
    }
    return "<INFO>";
}

// One write(2) per line on an O_APPEND descriptor, so lines of several engines never interleave.
void appendLine(const std::string& path, const std::string& line) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

} // namespace

EngineLog& EngineLog::instance() {
    static EngineLog log;
    return log;
}

std::string EngineLog::defaultPath() {
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.juicefs/juicefs.log";
}

std::string EngineLog::formatLine(std::chrono::system_clock::time_point when, long pid,
                                  LogLevel level, std::string_view message,
                                  const SourceLocation& where) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count() %
        1000000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d.%06lld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<long long>(micros));
    const std::string file = std::filesystem::path(where.file_name()).filename().string();
    return std::string(stamp) + " juicefs[" + std::to_string(pid) + "] " + levelTag(level) + ": " +
           std::string(message) + " [" + file + ":" + std::to_string(where.line()) + "]\n";
}

void EngineLog::setFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
}

void EngineLog::setStderr(bool enabled) {
    std::lock_guard lock(mutex_);
    toStderr_ = enabled;
}

void EngineLog::write(LogLevel level, std::string_view message, const SourceLocation& where) {
    const std::string line =
        formatLine(std::chrono::system_clock::now(), ::getpid(), level, message, where);
    std::lock_guard lock(mutex_);
    if (!path_.empty())
        appendLine(path_, line);
    if (toStderr_) {
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
    }
}
