#pragma once

#include <QProcess>
#include <QString>
#include <memory>

// A private X server for one test process: Xvfb on a free display, stopped on destruction.
class XvfbDisplay {
public:
    static inline const QString kProgram = QStringLiteral("/usr/bin/Xvfb");

    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // Starts the server and points DISPLAY at it; false (with problem() saying why) when it
    // cannot.
    bool start();
    bool isRunning() const;
    QString problem() const { return problem_; }

    // Why tests that need the server must skip, or empty when it runs (for the process's tests).
    static QString& processProblem();

private:
    std::unique_ptr<QProcess> process_;
    QString problem_;
};
