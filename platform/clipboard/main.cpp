// kelvane-clipboard: puts the text read on standard input on the desktop clipboard and keeps
// serving it after the program that asked has exited (on X11 the clipboard's content lives in
// the process that set it). The caller waits until the clipboard is taken, then goes on; a
// process of its own keeps it until another program takes the clipboard or a day has passed.
#include "platform/clipboard/QtTextClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

constexpr int kMaxTextBytes = 256 * 1024;
constexpr int kReadyWaitMs = 10'000;
constexpr int kPollMs = 1'000;
constexpr int kLifetimeMs = 24 * 60 * 60 * 1000;

std::string readInput() {
    std::string text;
    char buffer[4096];
    while (text.size() <= kMaxTextBytes) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof(buffer));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

bool hasDesktopSession() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void choosePlatform() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    // X11 (or XWayland, whose clipboard the compositor shares with Wayland programs) when
    // there is a display; Wayland otherwise. "offscreen" only catches a display Qt cannot use.
    qputenv("QT_QPA_PLATFORM",
            qEnvironmentVariableIsEmpty("DISPLAY") ? "wayland;offscreen" : "xcb;offscreen");
}

void detachStandardStreams() {
    const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nothing < 0)
        return;
    ::dup2(nothing, STDIN_FILENO);
    ::dup2(nothing, STDOUT_FILENO);
    ::dup2(nothing, STDERR_FILENO);
    ::close(nothing);
}

void report(int channel, const std::string& message) {
    [[maybe_unused]] const ssize_t written = ::write(channel, message.data(), message.size());
    ::close(channel);
}

// The keeping process: takes the clipboard, tells the caller, then serves it.
int keep(int argc, char** argv, const std::string& text, int readyChannel) {
    ::setsid();
    std::signal(SIGPIPE, SIG_IGN);
    choosePlatform();
    QGuiApplication app(argc, argv);
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        report(readyChannel, "no display the clipboard can be reached on");
        return 1;
    }
    QtTextClipboard clipboard(*QGuiApplication::clipboard());
    clipboard.setText(QString::fromStdString(text));
    if (!clipboard.holdsText()) {
        report(readyChannel, "the display did not hand over the clipboard");
        return 1;
    }
    report(readyChannel, "ok");
    detachStandardStreams();
    QObject::connect(&clipboard, &QtTextClipboard::lost, &app, &QCoreApplication::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (!clipboard.holdsText())
            QCoreApplication::quit();
    });
    poll.start(kPollMs);
    QTimer::singleShot(kLifetimeMs, &app, &QCoreApplication::quit);
    return QGuiApplication::exec();
}

// The caller's side: waits for the keeper's word within the limit.
int awaitKeeper(pid_t keeper, int readyChannel) {
    pollfd entry{readyChannel, POLLIN, 0};
    std::string answer;
    char buffer[256];
    while (::poll(&entry, 1, kReadyWaitMs) > 0) {
        const ssize_t got = ::read(readyChannel, buffer, sizeof(buffer));
        if (got <= 0)
            break;
        answer.append(buffer, static_cast<size_t>(got));
    }
    if (answer == "ok") {
        std::printf("serving the clipboard as process %d\n", static_cast<int>(keeper));
        return 0;
    }
    if (answer.empty())
        answer = "the clipboard keeper stopped before it took the clipboard";
    std::fprintf(stderr, "kelvane-clipboard: %s\n", answer.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string text = readInput();
    if (text.empty() || text.size() > kMaxTextBytes) {
        std::fprintf(stderr,
                     "kelvane-clipboard: expected between 1 and %d bytes of text on "
                     "standard input\n",
                     kMaxTextBytes);
        return 2;
    }
    if (!hasDesktopSession()) {
        std::fprintf(stderr, "kelvane-clipboard: no desktop session to hold the clipboard "
                             "(neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
        return 1;
    }
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "kelvane-clipboard: %s\n", std::strerror(errno));
        return 1;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        std::fprintf(stderr, "kelvane-clipboard: %s\n", std::strerror(errno));
        return 1;
    }
    if (child == 0) {
        ::close(ready[0]);
        return keep(argc, argv, text, ready[1]);
    }
    ::close(ready[1]);
    return awaitKeeper(child, ready[0]);
}
