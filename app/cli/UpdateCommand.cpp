#include "app/cli/UpdateCommand.h"

#include "app/cli/CliServices.h"
#include "app/settings/AppSettings.h"
#include "app/shell/InstanceChannel.h"
#include "app/update/Updater.h"
#include "shared/WaitForTask.h"

#include <QCommandLineParser>
#include <cstdio>

namespace UpdateCommand {

namespace {

// A check waits for the feed (20 s at most) and nothing else.
constexpr int kCheckAnswerMs = 90'000;
// An install downloads the whole package first; no byte moving for a minute ends it there.
constexpr int kInstallAnswerMs = 60 * 60'000;

void print(FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + '\n'), stream);
    std::fflush(stream);
}

struct Answer {
    UpdateState state;
    QString version;
    QString build;
};

Answer answerOf(const QJsonObject& reply) {
    return {UpdateState::fromJson(reply.value("update").toObject()),
            reply.value("currentVersion").toString(), reply.value("currentBuild").toString()};
}

int statusOf(const UpdateState& state) {
    return state.is(UpdateState::Kind::failed) ? 1 : 0;
}

// No instance: the same check this process can make on its own.
int checkHere() {
    CliServices services;
    Updater updater(services.defaults, services.network, [] {});
    std::optional<QString> site = services.defaults.string(DefaultsKeys::kApiURL);
    if (const QString apiURL = AppSettings::load(services.defaults).apiURL; !apiURL.isEmpty())
        site = apiURL;
    updater.setSiteURL(site);
    WaitForTask::run(updater.check(true));
    print(stdout, UpdateReport::afterCheck(updater.state(), Updater::currentVersion(),
                                           Updater::currentBuild()));
    return statusOf(updater.state());
}

int install() {
    const auto checked = InstanceChannel::ask({{"command", "updateCheck"}}, kCheckAnswerMs);
    if (!checked) {
        print(stderr, QStringLiteral("Kelvane is not running; start it (`kelvane --headless`) "
                                     "to install updates."));
        return 1;
    }
    const Answer found = answerOf(*checked);
    if (!found.state.is(UpdateState::Kind::available)) {
        print(stdout, UpdateReport::afterCheck(found.state, found.version, found.build));
        return statusOf(found.state);
    }
    print(stdout, "Kelvane " + found.state.release.version + " (" + found.state.release.build +
                      ") is available; downloading and verifying it…");
    const auto installed = InstanceChannel::ask({{"command", "updateInstall"}}, kInstallAnswerMs);
    if (!installed) {
        print(stderr, QStringLiteral("Kelvane stopped answering during the update."));
        return 1;
    }
    const Answer outcome = answerOf(*installed);
    print(stdout, UpdateReport::afterInstall(outcome.state, outcome.version, outcome.build));
    return outcome.state.is(UpdateState::Kind::installing) ? 0 : 1;
}

} // namespace

int run(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOption({"check", "Check for a newer build (the default)."});
    parser.addOption({"install", "Install a newer build; Kelvane restarts."});
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("Usage: kelvane update [--check] [--install]"));
        return 2;
    }
    if (parser.isSet("install"))
        return install();
    if (const auto reply = InstanceChannel::ask({{"command", "updateCheck"}}, kCheckAnswerMs)) {
        const Answer answer = answerOf(*reply);
        print(stdout, UpdateReport::afterCheck(answer.state, answer.version, answer.build));
        return statusOf(answer.state);
    }
    return checkHere();
}

} // namespace UpdateCommand
