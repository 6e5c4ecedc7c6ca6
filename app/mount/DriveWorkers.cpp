#include "app/mount/DriveWorkers.h"

#include "app/mount/MountLogging.h"

namespace {
// Long enough for any healthy drive operation to finish.
constexpr int kFinishWaitMs = 2000;
} // namespace

DriveWorkers::DriveWorkers(int threads) : pool_(new QThreadPool) {
    pool_->setMaxThreadCount(threads);
}

DriveWorkers::~DriveWorkers() {
    pool_->clear();
    if (pool_->waitForDone(kFinishWaitMs)) {
        delete pool_;
        return;
    }
    qCWarning(lcMount, "a drive operation is still blocked; leaving its thread behind");
}
