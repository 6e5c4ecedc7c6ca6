#pragma once

#include "app/views/common/ViewColors.h"
#include "app/views/popover/PopoverState.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// What the popover shows for a state: the status summary, the cards in their order, the
// drive and bottom rows, the footer. Plain values, so tests read them without a window.

// What a button or row does when clicked.
enum class PopoverAction {
    none,
    openSettings,
    installUpdate,
    enableFinderExtension,
    dismissOnboarding,
    cancelImport,
    openInFileManager,
    importFolder,
    openWebBrowser,
    checkForUpdates,
    quit,
};

struct StatusSummary {
    QString label;
    ViewColor color = ViewColor::secondary;
    QString symbol;
    bool operator==(const StatusSummary&) const = default;
};

struct CardButton {
    QString title;
    PopoverAction action = PopoverAction::none;
    bool operator==(const CardButton&) const = default;
};

// A line inside a card with its own symbol: a tip, a transfer.
struct CardRow {
    QString symbol;
    QString text;
    bool operator==(const CardRow&) const = default;
};

struct PopoverCard {
    enum class Kind {
        mounting,
        mountError,
        update,
        finderMenu,
        onboarding,
        import,
        upload,
        transfers
    };
    Kind kind = Kind::mounting;
    QString symbol{};
    ViewColor tint = ViewColor::label;
    QString title{};
    QString text{};
    QString note{};
    QList<CardRow> rows{};
    QList<CardButton> buttons{};
    // A close button ("xmark") in the corner doing this.
    PopoverAction closeAction = PopoverAction::none;
    bool operator==(const PopoverCard&) const = default;
};

struct PopoverRow {
    QString symbol;
    QString title;
    // Shown at the right end (the cloud statistics).
    QString detail;
    PopoverAction action = PopoverAction::none;
    bool operator==(const PopoverRow&) const = default;
};

struct PopoverContent {
    StatusSummary status;
    QList<PopoverCard> cards;
    QList<PopoverRow> driveRows;
    QList<PopoverRow> bottomRows;
    QString footer;
    bool operator==(const PopoverContent&) const = default;
};

namespace MenuBarModel {

StatusSummary statusSummary(const PopoverState& state);
QList<PopoverCard> cards(const PopoverState& state);
// Direct mode with an engine uploading or data still staged.
bool isUploading(const PopoverState& state);
// The drive is up: mounted in direct mode, the domain registered in file-provider mode.
bool isDriveUp(const PopoverState& state);
QList<PopoverRow> driveRows(const PopoverState& state);
QList<PopoverRow> bottomRows(const PopoverState& state);
PopoverContent content(const PopoverState& state);

QString uploadDetailLine(qint64 uploadedThisBurst, double uploadRate,
                         std::optional<double> uploadETA);
QString syncStatusHeadline(qsizetype uploads, qsizetype downloads);
QString importLine(const ImportCardState& progress);
QString importSummary(const ImportCardState& finished);
QString updateButtonTitle(const UpdateCardState& update);
QString cloudRowText(const PopoverState& state);
QString transferRowText(const SyncTransfer& transfer);
QString footerText(const QString& version, const QString& build);
// The workspace's web address: the server address without its "/api" path steps; nothing
// when that is not an http(s) address.
std::optional<QUrl> webAddress(const QString& apiURL);

} // namespace MenuBarModel
