#include "app/cli/SignInCommand.h"

#include "app/api/ConnectionAdvice.h"
#include "app/cli/CliServices.h"
#include "app/settings/AppSettings.h"
#include "app/shell/InstanceChannel.h"
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
    // A server that takes its time gets a word, so the terminal does not look stuck.
    QTimer waiting;
    waiting.setSingleShot(true);
    QObject::connect(&waiting, &QTimer::timeout, [server] {
        QTextStream(stderr) << "Waiting for " << server.trimmed() << " to answer…" << Qt::endl;
    });
    waiting.start(kWaitingNotice);
    try {
        const User user = co_await services_.api.login(server, email, password);
        // The settings window saves the address it signed in with; do the same.
        AppSettings settings = AppSettings::load(services_.defaults);
        settings.apiURL = server.trimmed();
        settings.save(services_.defaults);
        QTextStream(stdout) << "Signed in as " << user.name << " <" << user.email << ">\n";
        // A running instance activates the drives for the new session.
        InstanceChannel::ask({{"command", "didLogin"}});
        co_return 0;
    } catch (const KelvaneError& e) {
        QTextStream err(stderr);
        err << e.description() << "\n";
        if (const auto advice = ConnectionAdvice::forFailure(e.description()))
            err << *advice << "\n";
        co_return 1;
    }
}

int SignInCommand::signOut() {
    const bool wasSignedIn = services_.api.isLoggedIn();
    services_.api.logout();
    // The running instance signs out too; its drives stay mounted until it quits.
    InstanceChannel::ask({{"command", "didLogout"}});
    QTextStream(stdout) << (wasSignedIn ? "Signed out.\n" : "Not signed in.\n");
    return 0;
}
