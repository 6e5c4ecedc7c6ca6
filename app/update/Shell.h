#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <chrono>

// Runs a system tool for the updater (absolute path, explicit arguments, no shell) while the
// calling task waits. A tool past the limit is killed; one that cannot start throws
// TransportError with the platform's text.
namespace Shell {

inline constexpr std::chrono::minutes kDefaultLimit{10};

// Standard output followed by standard error, each as UTF-8 (an undecodable stream reads as
// empty). The exit status is not looked at.
QCoro::Task<QString> output(QString program, QStringList arguments,
                            std::chrono::milliseconds limit = kDefaultLimit);
// Whether the tool exited normally with status 0 within the limit.
QCoro::Task<bool> succeeds(QString program, QStringList arguments,
                           std::chrono::milliseconds limit = kDefaultLimit);

} // namespace Shell
