#include "app/shell/UpdateCommands.h"

#include "app/shell/AppDelegate.h"
#include "app/shell/InstanceChannel.h"
#include "app/update/Updater.h"

namespace UpdateCommands {

namespace {

QJsonObject answer(const Updater& updater) {
    return {{"update", updater.state().toJson()},
            {"currentVersion", updater.bundleVersion()},
            {"currentBuild", updater.bundleBuild()}};
}

QCoro::Task<QJsonObject> check(AppDelegate& delegate) {
    co_await delegate.checkForUpdates(true);
    co_return answer(delegate.updater());
}

QCoro::Task<QJsonObject> install(AppDelegate& delegate) {
    Updater& updater = delegate.updater();
    if (!updater.state().is(UpdateState::Kind::available))
        co_await delegate.checkForUpdates(true);
    if (updater.state().is(UpdateState::Kind::available)) {
        const UpdateRelease release = updater.state().release;
        co_await updater.downloadAndInstall(release);
    }
    co_return answer(updater);
}

} // namespace

void registerUpdate(InstanceChannel& channel, AppDelegate& delegate) {
    channel.handle("updateCheck",
                   InstanceChannel::Handler([&delegate](QJsonObject) { return check(delegate); }));
    channel.handle("updateInstall", InstanceChannel::Handler(
                                        [&delegate](QJsonObject) { return install(delegate); }));
}

} // namespace UpdateCommands
