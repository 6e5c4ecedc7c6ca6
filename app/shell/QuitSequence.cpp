#include "app/shell/QuitSequence.h"

#include "app/activity/SyncStatusReader.h"
#include "app/shell/AppDelegate.h"
#include "shared/ConsoleLine.h"

#include <QCoreApplication>
#include <QLocale>

QuitSequence::QuitSequence(AppDelegate& delegate, QObject* parent)
    : QObject(parent), delegate_(delegate) {}

void QuitSequence::request() {
    ++requests_;
    if (requests_ == 1)
        unmountThenQuit();
    else if (requests_ == 2)
        quitWithoutWaiting();
}

QCoro::Task<void> QuitSequence::unmountThenQuit() {
    ConsoleLine::app(QStringLiteral("quitting: unmounting drives (staged data uploads first; "
                                    "ask again to quit without waiting)"));
    co_await delegate_.applicationWillTerminate();
    QCoreApplication::quit();
}

QCoro::Task<void> QuitSequence::quitWithoutWaiting() {
    const qint64 staged = delegate_.syncStatus().uploadBacklogBytes();
    QString line = QStringLiteral("quitting without waiting for uploads");
    if (staged > 0)
        line += QStringLiteral(": %1 stays staged on this computer and uploads the next time "
                               "Kelvane runs")
                    .arg(QLocale::c().formattedDataSize(staged));
    ConsoleLine::app(line);
    co_await delegate_.terminateNow();
    // The first request's unmounts now end too and quit the loop.
}
