#pragma once

#include <QElapsedTimer>

// How often a running transfer tells the ledger its progress. Every report rewrites the ledger
// file (and syncs it to disk), which on a fast link would cost more than the transfer itself;
// the application reads the ledger twice a second, so a few reports a second say it all.
class LedgerPace {
public:
    static constexpr qint64 kIntervalMs = 250;

    // Whether a report is due now; the first always is.
    bool due() {
        if (clock_.isValid() && clock_.elapsed() < kIntervalMs)
            return false;
        clock_.start();
        return true;
    }

private:
    QElapsedTimer clock_;
};
