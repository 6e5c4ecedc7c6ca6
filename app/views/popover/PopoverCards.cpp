#include "app/views/popover/MenuBarModel.h"

// The cards of the popover, in the order it stacks them.
namespace MenuBarModel {

namespace {

using Kind = PopoverCard::Kind;

std::optional<PopoverCard> driveCard(const PopoverState& state) {
    if (state.mode != StorageMode::directMount)
        return std::nullopt;
    if (state.directMount.kind() == DirectMountState::Kind::mounting)
        return PopoverCard{.kind = Kind::mounting,
                           .symbol = "externaldrive",
                           .tint = ViewColor::orange,
                           .title = "Mounting at " + state.mountPoint + "…"};
    if (state.directMount.isError())
        return PopoverCard{.kind = Kind::mountError,
                           .symbol = "exclamationmark.triangle.fill",
                           .tint = ViewColor::red,
                           .title = "Direct Mount failed",
                           .text = state.directMount.message(),
                           .buttons = {{"Open Settings", PopoverAction::openSettings}}};
    return std::nullopt;
}

std::optional<PopoverCard> updateCard(const UpdateCardState& update) {
    if (update.kind != UpdateCardState::Kind::available)
        return std::nullopt;
    return PopoverCard{.kind = Kind::update,
                       .symbol = "arrow.down.circle.fill",
                       .tint = ViewColor::blue,
                       .title = "Kelvane " + update.release.version + " is available",
                       .text = "You're on " + update.currentVersion + " (" + update.currentBuild +
                               "). Updating restarts the app.",
                       .buttons = {{"Install and Relaunch", PopoverAction::installUpdate}}};
}

std::optional<PopoverCard> finderCard(const PopoverState& state) {
    if (!state.signedIn || state.finder != FinderExtensionState::disabled)
        return std::nullopt;
    return PopoverCard{
        .kind = Kind::finderMenu,
        .symbol = "puzzlepiece.extension.fill",
        .tint = ViewColor::orange,
        .title = "File manager menu is switched off",
        .text = "Turn on Kelvane's actions for your file manager to get Copy Link and Open on "
                "the Web when you right-click a file.",
        .buttons = {{"Open Extension Settings", PopoverAction::enableFinderExtension}}};
}

std::optional<PopoverCard> onboardingCard(const PopoverState& state) {
    if (!state.signedIn || state.onboardingSeen)
        return std::nullopt;
    return PopoverCard{
        .kind = Kind::onboarding,
        .symbol = "hand.point.up.left.fill",
        .tint = ViewColor::blue,
        .title = "Tip — right-click any file in your file manager",
        .rows = {{"link",
                  "Copy Kelvane Link — share a file or folder with teammates via any chat app."},
                 {"safari", "Open in Kelvane on the Web — jump to the file in the browser."},
                 {"gearshape", "Not seeing them? Enable Kelvane under Kelvane Settings ▸ "
                               "Advanced ▸ File Manager Right-Click Menu."}},
        .buttons = {{"Got it", PopoverAction::dismissOnboarding}},
        .closeAction = PopoverAction::dismissOnboarding};
}

std::optional<PopoverCard> importCard(const ImportCardState& import) {
    switch (import.kind) {
    case ImportCardState::Kind::idle:
        return std::nullopt;
    case ImportCardState::Kind::running:
        return PopoverCard{.kind = Kind::import,
                           .symbol = "square.and.arrow.down.fill",
                           .tint = ViewColor::blue,
                           .title = "Importing",
                           .text = importLine(import),
                           .buttons = {{"Cancel", PopoverAction::cancelImport}}};
    case ImportCardState::Kind::finished: {
        const bool clean = import.failed == 0;
        return PopoverCard{.kind = Kind::import,
                           .symbol =
                               clean ? "checkmark.circle.fill" : "exclamationmark.triangle.fill",
                           .tint = clean ? ViewColor::green : ViewColor::orange,
                           .title = clean ? "Import complete" : "Import finished with errors",
                           .text = importSummary(import)};
    }
    case ImportCardState::Kind::failed:
        return PopoverCard{.kind = Kind::import,
                           .symbol = "exclamationmark.triangle.fill",
                           .tint = ViewColor::red,
                           .title = "Import failed",
                           .text = import.message};
    case ImportCardState::Kind::cancelled:
        return PopoverCard{.kind = Kind::import,
                           .symbol = "square.and.arrow.down.fill",
                           .tint = ViewColor::secondary,
                           .title = "Import cancelled"};
    }
    return std::nullopt;
}

std::optional<PopoverCard> uploadCard(const PopoverState& state) {
    if (!isUploading(state))
        return std::nullopt;
    return PopoverCard{
        .kind = Kind::upload,
        .symbol = "arrow.up.circle.fill",
        .tint = ViewColor::blue,
        .title = "Uploading to cloud",
        .text = uploadDetailLine(state.uploadedThisBurst, state.uploadRate, state.uploadETA),
        .note = "Safe to keep working — quitting Kelvane pauses the upload."};
}

std::optional<PopoverCard> transfersCard(const PopoverState& state) {
    if (state.transfers.isEmpty())
        return std::nullopt;
    qsizetype uploads = 0;
    PopoverCard card{
        .kind = Kind::transfers, .symbol = "arrow.triangle.2.circlepath", .tint = ViewColor::blue};
    for (const SyncTransfer& transfer : state.transfers) {
        const bool up = transfer.direction == SyncTransfer::Direction::upload;
        uploads += up ? 1 : 0;
        card.rows.append({up ? "arrow.up" : "arrow.down", transferRowText(transfer)});
    }
    card.title = syncStatusHeadline(uploads, state.transfers.size() - uploads);
    return card;
}

} // namespace

QList<PopoverCard> cards(const PopoverState& state) {
    QList<PopoverCard> stacked;
    for (const auto& card :
         {driveCard(state), updateCard(state.update), finderCard(state), onboardingCard(state),
          importCard(state.import), uploadCard(state), transfersCard(state)}) {
        if (card)
            stacked.append(*card);
    }
    return stacked;
}

} // namespace MenuBarModel
