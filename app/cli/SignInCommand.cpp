#include "app/cli/SignInCommand.h"

#include "app/api/ConnectionAdvice.h"
#include "app/cli/CliServices.h"
#include "app/settings/AppSettings.h"
#include "app/shell/InstanceChannel.h"
#include "platform/CredentialStore.h"
#include "shared/KelvaneError.h"

#include <QTextStream>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr std::chrono::seconds kWaitingNotice{2};
} // namespace

SignInCommand::SignInCommand(CliServices& services) : services_(services) {}

QString SignInCommand::readPassword() {
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fputs("Password: ", stderr);
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fputs("\n", stderr);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

QCoro::Task<int> SignInCommand::signIn(QString server, QString email, QString password) {
    QTextStream err(stderr);
    // The keychain first: one that cannot answer now could not keep the new token, so the
    // password is not sent for nothing. A keyring waiting on an unlock prompt gets a word.
    QTimer keyringWaiting;
    keyringWaiting.setSingleShot(true);
    QObject::connect(&keyringWaiting, &QTimer::timeout, [] {
        QTextStream(stderr) << "Waiting for the keyring to answer…" << Qt::endl;
    });
    keyringWaiting.start(kWaitingNotice);
    co_await services_.api.reloadToken();
    keyringWaiting.stop();
    if (services_.api.tokenState() == APIClient::TokenState::unavailable) {
        err << CredentialsUnavailable().description() << "\n";
        co_return 1;
    }
    // A server that takes its time gets a word, so the terminal does not look stuck.
    QTimer waiting;
    waiting.setSingleShot(true);
    QObject::connect(&waiting, &QTimer::timeout, [server] {
        QTextStream(stderr) << "Waiting for " << server.trimmed() << " to answer…" << Qt::endl;
    });
    waiting.start(kWaitingNotice);
    std::optional<User> user;
    try {
        user = co_await services_.api.login(server, email, password);
    } catch (const KelvaneError& e) {
        err << e.description() << "\n";
        if (const auto advice = ConnectionAdvice::forFailure(e.description()))
            err << *advice << "\n";
        co_return 1;
    }
    waiting.stop();
    // The settings window saves the address it signed in with; do the same, or keep nothing.
    AppSettings settings = AppSettings::load(services_.defaults);
    settings.apiURL = server.trimmed();
    if (const auto failure = settings.save(services_.defaults)) {
        std::optional<QString> undoFailure;
        try {
            co_await services_.api.undoLogin();
        } catch (const KelvaneError& e) {
            undoFailure = e.description();
        }
        err << failure->description();
        if (undoFailure)
            err << " The sign-in could not be fully undone: " << *undoFailure << "\n";
        else
            err << " The sign-in was undone; nothing changed.\n";
        co_return 1;
    }
    QTextStream(stdout) << "Signed in as " << user->name << " <" << user->email << ">\n";
    // A running instance activates the drives for the new session.
    InstanceChannel::ask({{"command", "didLogin"}});
    co_return 0;
}

QCoro::Task<int> SignInCommand::signOut() {
    APIClient& api = services_.api;
    co_await api.reloadToken();
    const bool wasSignedIn = api.isLoggedIn();
    std::optional<QString> failure;
    try {
        co_await api.logout();
    } catch (const KelvaneError& e) {
        failure = e.description();
    }
    if (failure) {
        // The running instance keeps its session: the store still holds it.
        QTextStream(stderr) << *failure << "\n";
        co_return 1;
    }
    // The running instance signs out too; its drives stay mounted until it quits.
    InstanceChannel::ask({{"command", "didLogout"}});
    QTextStream(stdout) << (wasSignedIn ? "Signed out.\n" : "Not signed in.\n");
    co_return 0;
}
