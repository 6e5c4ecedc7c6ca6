#include "app/shell/UpdaterControl.h"

#include "app/update/Updater.h"

namespace {

UpdateStatus::Kind kindOf(UpdateState::Kind kind) {
    switch (kind) {
    case UpdateState::Kind::idle:
        return UpdateStatus::Kind::idle;
    case UpdateState::Kind::checking:
        return UpdateStatus::Kind::checking;
    case UpdateState::Kind::available:
        return UpdateStatus::Kind::available;
    case UpdateState::Kind::upToDate:
        return UpdateStatus::Kind::upToDate;
    case UpdateState::Kind::downloading:
        return UpdateStatus::Kind::downloading;
    case UpdateState::Kind::installing:
        return UpdateStatus::Kind::installing;
    case UpdateState::Kind::failed:
        break;
    }
    return UpdateStatus::Kind::failed;
}

} // namespace

UpdateStatus UpdaterControl::statusOf(const UpdateState& state) {
    UpdateStatus status;
    status.kind = kindOf(state.kind);
    if (state.is(UpdateState::Kind::available))
        status.release = ReleaseInfo{state.release.version, state.release.build, state.release.url,
                                     state.release.published};
    status.message = state.message;
    return status;
}

void UpdaterControl::setSiteURL(const std::optional<QString>& siteURL) {
    updater_.setSiteURL(siteURL);
}

QCoro::Task<> UpdaterControl::check(bool manual) {
    return updater_.check(manual);
}

UpdateStatus UpdaterControl::state() const {
    return statusOf(updater_.state());
}

QCoro::Task<> UpdaterControl::downloadAndInstall(ReleaseInfo release) {
    return updater_.downloadAndInstall(
        UpdateRelease{release.version, release.build, release.url, release.published});
}

QString UpdaterControl::currentVersion() const {
    return updater_.bundleVersion();
}

QString UpdaterControl::currentBuild() const {
    return updater_.bundleBuild();
}
