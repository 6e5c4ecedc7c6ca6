#include "app/cli/ImportCommand.h"

#include "app/import/ImportText.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/TerminationSignals.h"
#include "platform/Terminal.h"

#include <QCoroTimer>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr int kBarWidth = 24;
constexpr int kExitCancelled = 130;
constexpr auto kTerminalRedraw = 200ms;
constexpr auto kPlainPoll = 500ms;
constexpr auto kPlainLineEvery = 2s;
constexpr int kAskLimitMs = 10'000;

void write(FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

QString refusalText(const QJsonObject& answer) {
    const QString title = answer.value("title").toString();
    const QString text = answer.value("error").toString();
    return title.isEmpty() ? text : title + ": " + text;
}

// Follows one import to its end.
class Follower {
public:
    Follower(QString id, bool terminal) : id_(std::move(id)), terminal_(terminal) {
        QObject::connect(&signals_, &TerminationSignals::terminationRequested, &signals_,
                         [this](int) { interrupted(); });
    }

    QCoro::Task<int> follow() {
        QDeadlineTimer nextPlainLine(0);
        for (;;) {
            if (interrupts_ >= 2) {
                endLine();
                write(stderr, QString::fromUtf8("Stopped waiting; the import may still be "
                                                "ending in Kelvane.\n"));
                co_return kExitCancelled;
            }
            const QJsonObject request{{"command", "importStatus"}};
            const auto answer = InstanceChannel::ask(request, kAskLimitMs);
            if (!answer) {
                endLine();
                write(stderr, QString::fromUtf8("Kelvane stopped before the import ended.\n"));
                co_return 1;
            }
            const QJsonObject import = answer->value("import").toObject();
            if (import.value("id").toString() != id_) {
                endLine();
                write(stderr, QString::fromUtf8("Another import replaced this one; its outcome "
                                                "is unknown.\n"));
                co_return 1;
            }
            const ImportState state = importStateFromJson(import);
            if (state.isOver()) {
                endLine();
                write(state.kind() == ImportState::Kind::failed ? stderr : stdout,
                      ImportText::describe(state) + '\n');
                co_return ImportCommand::exitCode(state);
            }
            if (terminal_) {
                write(stdout, QString::fromUtf8("\r") +
                                  ImportCommand::barLine(state.progress(),
                                                         Terminal::columns(STDOUT_FILENO)) +
                                  QString::fromUtf8("\x1b[K"));
                drawn_ = true;
            } else if (nextPlainLine.hasExpired()) {
                write(stdout, ImportText::describe(state) + '\n');
                nextPlainLine.setRemainingTime(kPlainLineEvery);
            }
            co_await QCoro::sleepFor(terminal_ ? kTerminalRedraw : kPlainPoll);
        }
    }

private:
    void interrupted() {
        if (++interrupts_ > 1)
            return;
        const QJsonObject request{{"command", "importCancel"}, {"id", id_}};
        InstanceChannel::ask(request, kAskLimitMs);
    }
    void endLine() {
        if (drawn_)
            write(stdout, QString::fromUtf8("\r\x1b[K"));
        drawn_ = false;
    }

    QString id_;
    bool terminal_;
    bool drawn_ = false;
    int interrupts_ = 0;
    TerminationSignals signals_;
};

} // namespace

int ImportCommand::exitCode(const ImportState& state) {
    switch (state.kind()) {
    case ImportState::Kind::finished:
        return state.failedCount() == 0 ? 0 : 1;
    case ImportState::Kind::cancelled:
        return kExitCancelled;
    default:
        return 1;
    }
}

QString ImportCommand::barLine(const ImportProgress& progress, int columns) {
    const double ratio =
        progress.scanned > 0
            ? std::clamp(double(progress.handled) / double(progress.scanned), 0.0, 1.0)
            : 0.0;
    const int filled = int(ratio * kBarWidth);
    const QString bar = QString(filled, u'#') + QString(kBarWidth - filled, u'.');
    const QString line =
        QString::fromUtf8("[") + bar + QString::fromUtf8("] ") + ImportText::importLine(progress);
    // A line that wraps can no longer be redrawn in place.
    return line.left(std::max(columns - 1, kBarWidth + 2));
}

QCoro::Task<int> ImportCommand::run(QString folder, std::optional<QString> filespace) {
    const QString source = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QJsonObject request{{"command", "import"}, {"source", source}};
    if (filespace)
        request.insert("filespace", *filespace);
    const auto answer = InstanceChannel::ask(request, kAskLimitMs);
    if (!answer) {
        write(stderr, QString::fromUtf8("Kelvane is not running. Start it (for example with "
                                        "`kelvane --headless`), then import again.\n"));
        co_return 1;
    }
    if (answer->contains("error")) {
        write(stderr, refusalText(*answer) + '\n');
        co_return 1;
    }
    const QJsonObject import = answer->value("import").toObject();
    write(stdout,
          QString::fromUtf8("Importing %1 into %2 (Ctrl-C cancels)\n")
              .arg(import.value("source").toString(), import.value("filespace").toString()));
    Follower follower(import.value("id").toString(), Terminal::isTerminal(STDOUT_FILENO));
    co_return co_await follower.follow();
}
