#pragma once

#include "app/shell/CommandSeams.h"

class Updater;
struct UpdateState;

// The application's commands and prompts reach the updater through this.
class UpdaterControl : public UpdateControl {
public:
    explicit UpdaterControl(Updater& updater) : updater_(updater) {}
    void setSiteURL(const std::optional<QString>& siteURL) override;
    QCoro::Task<> check(bool manual) override;
    UpdateStatus state() const override;
    QCoro::Task<> downloadAndInstall(ReleaseInfo release) override;
    QString currentVersion() const override;
    QString currentBuild() const override;

    static UpdateStatus statusOf(const UpdateState& state);

private:
    Updater& updater_;
};
