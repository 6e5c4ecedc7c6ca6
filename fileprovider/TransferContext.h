#pragma once

#include <QCoroTask>
#include <chrono>
#include <functional>

class KelvaneAPI;
class PrefetchTracker;
class SyncStatusStore;
class TransferSession;

// What the extension's transfers share: the files API, the transfer session, the ledger, the
// read-ahead history, and how a retry waits (a timer, or whatever a test hands in).
struct TransferContext {
    using Sleep = std::function<QCoro::Task<>(std::chrono::milliseconds)>;

    KelvaneAPI& api;
    TransferSession& session;
    SyncStatusStore& ledger;
    PrefetchTracker& prefetcher;
    Sleep sleep;
};
