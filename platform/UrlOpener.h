#pragma once

#include "platform/findersync/Workspace.h"

#include <chrono>

// The desktop's URL handler (xdg-open) run as a child process. It waits a short while for the
// handler's verdict: a handler still running after that (a browser started in the foreground)
// counts as having opened the address.
class UrlOpener : public Workspace {
public:
    explicit UrlOpener(QString program, std::chrono::milliseconds verdictWait = kVerdictWait);
    bool openURL(const QString& url, QString* error) override;

    static constexpr std::chrono::milliseconds kVerdictWait{5000};

private:
    QString program_;
    std::chrono::milliseconds verdictWait_;
};
