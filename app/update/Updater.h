#pragma once

#include "app/update/UpdateState.h"
#include "shared/package/MinisignKey.h"
#include "shared/package/TarScan.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class UserDefaults;

// What an Updater works with besides the defaults and the network; tests point it elsewhere.
struct UpdaterOptions {
    QString bundle{};                             // empty: the bundle this program runs from
    std::optional<MinisignPublicKey> notaryKey{}; // empty: the key compiled in
    QString temporaryFolder{};                    // empty: the system's
    QString logFile{};                            // empty: Paths::updateLogFile()
    QStringList relaunchArguments{};              // what the new kelvane is started with
    std::chrono::milliseconds firstCheckDelay = std::chrono::seconds(15);
    std::chrono::milliseconds checkInterval = std::chrono::hours(6);
    std::chrono::milliseconds feedTimeout = std::chrono::seconds(20);
    qint64 maxPackageBytes = qint64(512) << 20;
    TarScan::Limits unpackLimits{};
};

// Keeps Kelvane up to date from the workspace server: checks the feed (by hand or every six
// hours), and installs a newer build only after its package verifies against the notary key
// compiled in, unpacks cleanly, matches its own signed manifest and is signed by the same
// developer as the running bundle. Main thread only; failures end in state, never in a throw.
class Updater : public QObject {
    Q_OBJECT
public:
    using Release = UpdateRelease;
    using State = UpdateState;

    using Options = UpdaterOptions;

    // requestQuit is the application's normal quit (drives unmount first).
    Updater(UserDefaults& defaults, QNetworkAccessManager& network,
            std::function<void()> requestQuit, Options options = {});
    ~Updater() override;

    const State& state() const { return state_; }
    std::optional<QDateTime> lastCheck() const { return lastCheck_; }
    std::optional<QString> siteURL() const { return siteURL_; }
    void setSiteURL(std::optional<QString> url) { siteURL_ = std::move(url); }
    bool isAutomatic() const { return automatic_; }

    // Never throw: failures become state (failed for a manual check, idle for an automatic
    // one; failed for an install).
    QCoro::Task<> check(bool manual);
    QCoro::Task<> downloadAndInstall(Release release);
    // Automatic checks: one 15 s after turning on, then every 6 hours while on.
    void setAutomatic(bool on);

    // The running program's bundle version and build ("0" when unknown).
    static QString currentVersion();
    static QString currentBuild();
    // The same for the bundle this updater replaces.
    QString bundleVersion() const;
    QString bundleBuild() const;

    // The numeric value of the digits in a text (1.4.2 (57) gives 14257); nothing when there
    // are none, more than 18, or ones that are not ASCII.
    static std::optional<qint64> digits(const QString& text);
    // a is newer than b: by their digits when both have them, else by a numeric comparison of
    // the texts (digit runs by value).
    static bool isNewer(const QString& a, const QString& b);
    QString feedBase() const;
    // The feed's release; throws UpdateError, DecodingError or TransportError.
    QCoro::Task<Release> fetchLatest();

signals:
    void stateChanged();
    void lastCheckChanged();

private:
    void setState(State state);
    QCoro::Task<> runChain(Release release);
    QCoro::Task<QString> download(QUrl url);
    QCoro::Task<QString> downloadSignature(QUrl url, QString package);
    QCoro::Task<void> verifyNotarization(QString package, QString signature);
    QCoro::Task<QString> verifyBundle(QString bundle, QString expectedBuild);
    // The fingerprint of the key that signed the running bundle's manifest, read on a worker.
    QCoro::Task<std::optional<QString>> teamOfRunningBundle();
    QCoro::Task<void> cleanUp(std::optional<QString> folder, QStringList files);
    QString bundlePath() const;
    QString temporaryFolder() const;
    MinisignPublicKey notaryKey() const;

    UserDefaults& defaults_;
    QNetworkAccessManager& network_;
    std::function<void()> requestQuit_;
    Options options_;
    State state_;
    std::optional<QDateTime> lastCheck_;
    std::optional<QString> siteURL_;
    std::unique_ptr<QTimer> autoTimer_;
    bool automatic_ = false;
};
