#pragma once

#include "app/api/Filespace.h"
#include "app/api/User.h"
#include "app/mount/DirectMountState.h"
#include "app/views/common/ComponentStates.h"
#include "app/views/common/Prompts.h"
#include "app/views/common/ViewColors.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// The settings window's texts and rules, as plain functions tests call without a window.
namespace SettingsModel {

struct Tab {
    QString id;
    QString title;
};
// "drives", "account", "advanced", in that order.
QList<Tab> tabs();

// The line under the title: the workspace when signed in, else the invitation to sign in.
QString headerSubtitle(bool signedIn, const QString& workspaceName);
// The workspace's name as the account shows it: the e-mail domain's first label, capitalised
// (demo@acme.com → "Acme"); the server's host when no user is known.
QString workspaceName(const std::optional<User>& user, const std::optional<QUrl>& server);

QString signInButtonTitle(bool loading);
// The failure's own text and, where its cause is plain, one line of advice under it.
QString loginErrorText(const QString& description);

struct DriveStatus {
    QString text;
    ViewColor color = ViewColor::secondary;
    bool operator==(const DriveStatus&) const = default;
};
DriveStatus statusFor(const Filespace& filespace, const MountStateMap& states);
QString filespacesLine(const QString& mountPoint);
QString noFilespacesText();

inline constexpr qint64 kCacheMinMB = 1024;
inline constexpr qint64 kCacheMaxMB = 512000;
inline constexpr qint64 kCacheStepMB = 1024;
QString cacheSizeLabel(qint64 cacheSizeMB);

QString updateStatusText(const UpdateCardState& update);
QString checkNowTitle(const UpdateCardState& update);

struct FinderSection {
    QString state;
    // Empty: no button.
    QString button;
    QString note;
    bool operator==(const FinderSection&) const = default;
};
FinderSection finderSection(FinderExtensionState state);

FolderRequest mountPointRequest(const QString& current);
FolderRequest cacheDirectoryRequest(const QString& current);
// Why the folder cannot hold the drives, or nothing when it can.
std::optional<QString> mountPointProblem(const QString& folder);

QString fuseCardTitle();
QString fuseCardText();
// The distribution's page for the FUSE package.
QUrl fuseHelpPage();

QString diagnosticsText();

} // namespace SettingsModel
