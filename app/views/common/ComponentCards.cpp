#include "app/views/common/ComponentCards.h"

#include "app/import/ImportState.h"
#include "app/update/Updater.h"

namespace ComponentCards {

namespace {

ImportCardState::Kind importKind(ImportState::Kind kind) {
    switch (kind) {
    case ImportState::Kind::idle:
        return ImportCardState::Kind::idle;
    case ImportState::Kind::running:
        return ImportCardState::Kind::running;
    case ImportState::Kind::finished:
        return ImportCardState::Kind::finished;
    case ImportState::Kind::failed:
        return ImportCardState::Kind::failed;
    case ImportState::Kind::cancelled:
        break;
    }
    return ImportCardState::Kind::cancelled;
}

UpdateCardState::Kind updateKind(UpdateState::Kind kind) {
    switch (kind) {
    case UpdateState::Kind::idle:
        return UpdateCardState::Kind::idle;
    case UpdateState::Kind::checking:
        return UpdateCardState::Kind::checking;
    case UpdateState::Kind::available:
        return UpdateCardState::Kind::available;
    case UpdateState::Kind::upToDate:
        return UpdateCardState::Kind::upToDate;
    case UpdateState::Kind::downloading:
        return UpdateCardState::Kind::downloading;
    case UpdateState::Kind::installing:
        return UpdateCardState::Kind::installing;
    case UpdateState::Kind::failed:
        break;
    }
    return UpdateCardState::Kind::failed;
}

} // namespace

ImportCardState importCard(const ImportState& state) {
    const ImportProgress& p = state.progress();
    ImportCardState card;
    card.kind = importKind(state.kind());
    card.scanned = p.scanned;
    card.handled = p.handled;
    card.copied = p.copied;
    card.failed = p.failed;
    card.copiedBytes = p.copiedBytes;
    card.rate = p.rate;
    card.eta = p.eta;
    card.scanning = p.scanning;
    card.seconds = state.seconds();
    card.message = state.message();
    return card;
}

UpdateCardState updateCard(const Updater& updater) {
    const UpdateState& state = updater.state();
    UpdateCardState card;
    card.kind = updateKind(state.kind);
    card.release = state.release;
    card.message = state.message;
    card.currentVersion = updater.bundleVersion();
    card.currentBuild = updater.bundleBuild();
    return card;
}

} // namespace ComponentCards
