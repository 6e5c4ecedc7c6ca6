#pragma once

#include "app/shell/CommandSeams.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <optional>

class AppDelegate;
class AppUI;
class QuitSequence;

// The user's commands: links with the "kelvane:" scheme, the guarded quit, folder import and
// the update checks and prompts. Alerts and the folder chooser go through the desktop seam;
// nothing here waits for the user on the stack. Main thread only.
class AppCommands : public QObject {
    Q_OBJECT
public:
    struct Components {
        ImportControl* importer = nullptr;
        UpdateControl* updater = nullptr;
    };
    // A link that arrives while the drives are still coming up waits this long for them.
    static constexpr std::chrono::seconds kLinkWaitLimit{300};

    AppCommands(AppDelegate& delegate, AppUI& ui, QuitSequence& quit, Components components,
                QObject* parent = nullptr);

    void setImporter(ImportControl* importer) { components_.importer = importer; }
    void setUpdater(UpdateControl* updater) { components_.updater = updater; }

    // A "kelvane:" link opened on the desktop: reveals what it names. Other text is ignored;
    // false then.
    bool handleURLEvent(const QString& text);
    // The user asked to quit: with uploads pending, a warning asks first. A quit already under
    // way is asked to stop waiting instead.
    void applicationShouldTerminate();
    // The end of the desktop session: no question can be answered now, and staged data is safe
    // on disk, so the quit goes ahead at once.
    void sessionEnding();
    void importFolder();
    void checkForUpdates(bool manual);
    void reportManualCheck();
    void promptToInstall(const ReleaseInfo& release);
    // The popover has just opened: refresh the session and, with it, the storage numbers; a
    // rejected session signs out.
    QCoro::Task<> popoverOpened();

    bool isQuitAlertShown() const { return quitAlertShown_; }

signals:
    // A link was resolved and handed to the file manager side (for logs and tests).
    void linkRevealed(const QString& path);

private:
    void reveal(const QString& path);
    void retryPendingLink();
    std::optional<QString> siteURL() const;
    QCoro::Task<> runCheck(bool manual);
    QCoro::Task<> runInstall(ReleaseInfo release);

    AppDelegate& delegate_;
    AppUI& ui_;
    QuitSequence& quit_;
    Components components_;
    bool quitAlertShown_ = false;
    std::optional<QString> pendingLink_;
    QTimer pendingLinkExpiry_;
};
