#pragma once

#include "platform/ChildProcess.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <vector>

// The engine's pre-fetch runs: started and tracked, never waited for.
class WarmupRunner : public QObject {
    Q_OBJECT
public:
    explicit WarmupRunner(QObject* parent = nullptr);
    ~WarmupRunner() override;

    // Runs "<engine> warmup --threads N paths…" with its output discarded. Whether it started.
    QCoro::Task<bool> start(QString engine, QStringList paths, int threads);
    // Sends every running warm-up the terminate request and forgets them all.
    void cancelAll();
    int trackedCount() const { return int(processes_.size()); }

private:
    std::vector<ChildProcess::Owned> processes_;
};
