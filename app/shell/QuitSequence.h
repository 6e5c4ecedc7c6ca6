#pragma once

#include <QCoroTask>
#include <QObject>

class AppDelegate;

// How a headless run ends: the first quit request unmounts every drive, each engine uploading
// what it has staged first; a second one stops waiting (the staged data is safe on disk and
// uploads at the next start). Either way the event loop ends once the drives are down.
class QuitSequence : public QObject {
    Q_OBJECT
public:
    explicit QuitSequence(AppDelegate& delegate, QObject* parent = nullptr);

    void request();
    bool isQuitting() const { return requests_ > 0; }

private:
    QCoro::Task<void> unmountThenQuit();
    QCoro::Task<void> quitWithoutWaiting();
    AppDelegate& delegate_;
    int requests_ = 0;
};
