#pragma once

#include <QCoroSignal>
#include <QObject>
#include <chrono>

// Something a coroutine waits to hear about: raised once, heard by whoever awaits it, also
// when it was raised before the wait began. Main thread only.
class Notice : public QObject {
    Q_OBJECT
public:
    void raise() {
        raised_ = true;
        emit raisedNow();
    }
    bool isRaised() const { return raised_; }

    // True when raised within the limit.
    QCoro::Task<bool> wait(std::chrono::milliseconds limit) {
        if (raised_)
            co_return true;
        co_await qCoro(this, &Notice::raisedNow, limit);
        co_return raised_;
    }

signals:
    void raisedNow();

private:
    bool raised_ = false;
};
