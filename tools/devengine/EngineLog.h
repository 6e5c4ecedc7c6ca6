#pragma once

#include "tools/devengine/SourceLocation.h"

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

enum class LogLevel { Debug, Info, Warning, Error, Fatal };

// The engine's log in JuiceFS's line form, which the client scans for "<FATAL>:" and
// "<ERROR>:". One process-wide sink: every command and thread of the engine writes here.
class EngineLog {
public:
    static EngineLog& instance();

    // home + ".juicefs/juicefs.log", where a daemonised JuiceFS logs by default.
    static std::string defaultPath();
    static std::string formatLine(std::chrono::system_clock::time_point when, long pid,
                                  LogLevel level, std::string_view message,
                                  const SourceLocation& where);

    void setFile(const std::string& path);
    void setStderr(bool enabled);
    void write(LogLevel level, std::string_view message, const SourceLocation& where);

private:
    EngineLog() = default;

    std::mutex mutex_;
    std::string path_;
    bool toStderr_ = true;
};

inline void logInfo(std::string_view message,
                    const SourceLocation& where = SourceLocation::current()) {
    EngineLog::instance().write(LogLevel::Info, message, where);
}
inline void logWarning(std::string_view message,
                       const SourceLocation& where = SourceLocation::current()) {
    EngineLog::instance().write(LogLevel::Warning, message, where);
}
inline void logError(std::string_view message,
                     const SourceLocation& where = SourceLocation::current()) {
    EngineLog::instance().write(LogLevel::Error, message, where);
}
inline void logFatal(std::string_view message,
                     const SourceLocation& where = SourceLocation::current()) {
    EngineLog::instance().write(LogLevel::Fatal, message, where);
}
