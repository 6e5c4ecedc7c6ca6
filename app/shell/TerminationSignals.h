#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP (the terminal went away) into a Qt signal on the main thread, so
// quitting goes through the application's orderly termination (drives unmounted) instead of killing
// the process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    static void onSignal(int signalNumber);
    QSocketNotifier* notifier_ = nullptr;
};
