#include "app/update/Updater.h"

#include "app/settings/AppSettings.h"
#include "app/update/PackageDownload.h"
#include "app/update/PackageUnpack.h"
#include "app/update/UpdateError.h"
#include "app/update/UpdateFeed.h"
#include "app/update/UpdateInstaller.h"
#include "app/update/UpdateLogging.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "shared/package/BundleSignature.h"
#include "shared/package/BundleVersion.h"
#include "shared/package/MinisignSignature.h"

#include <QCoroFuture>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtConcurrent>

namespace {

constexpr qint64 kMaxSignatureBytes = 64 * 1024;
// Beyond this a number of digits no longer fits a signed 64-bit value for every text.
constexpr qsizetype kMaxDigits = 18;

using Kind = UpdateState::Kind;

// Compares digit runs by value and everything else character by character, as a numeric
// string comparison does; negative, zero or positive.
int numericCompare(const QString& a, const QString& b) {
    const auto isDigit = [](QChar c) { return c >= '0' && c <= '9'; };
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            // Leading zeros carry no value.
            qsizetype si = i, sj = j;
            while (si < ei - 1 && a[si] == '0')
                ++si;
            while (sj < ej - 1 && b[sj] == '0')
                ++sj;
            const qsizetype li = ei - si, lj = ej - sj;
            if (li != lj)
                return li < lj ? -1 : 1;
            if (const int c = QStringView(a).mid(si, li).compare(QStringView(b).mid(sj, lj)))
                return c;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

bool isRealFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

} // namespace

Updater::Updater(UserDefaults& defaults, QNetworkAccessManager& network,
                 std::function<void()> requestQuit, Options options)
    : defaults_(defaults), network_(network), requestQuit_(std::move(requestQuit)),
      options_(std::move(options)) {}

Updater::~Updater() = default;

QString Updater::currentVersion() {
    return BundleVersion::read(Paths::runningBundle()).version;
}

QString Updater::currentBuild() {
    return BundleVersion::read(Paths::runningBundle()).build;
}

QString Updater::bundlePath() const {
    return options_.bundle.isEmpty() ? Paths::runningBundle() : options_.bundle;
}

QString Updater::bundleVersion() const {
    return BundleVersion::read(bundlePath()).version;
}

QString Updater::bundleBuild() const {
    return BundleVersion::read(bundlePath()).build;
}

QString Updater::temporaryFolder() const {
    return options_.temporaryFolder.isEmpty() ? Paths::temporaryDir() : options_.temporaryFolder;
}

MinisignPublicKey Updater::notaryKey() const {
    if (options_.notaryKey)
        return *options_.notaryKey;
    QString error;
    const auto compiled = MinisignPublicKey::parse(KELVANE_NOTARY_PUBLIC_KEY, &error);
    return compiled.value_or(MinisignPublicKey{});
}

void Updater::setState(State state) {
    if (state == state_)
        return;
    state_ = std::move(state);
    emit stateChanged();
}

std::optional<qint64> Updater::digits(const QString& text) {
    QString kept;
    for (const char32_t c : text.toUcs4()) {
        // Every Unicode number, as a text's "numeric characters" are; only ASCII digits read.
        if (QChar::isNumber(c))
            kept += QString::fromUcs4(&c, 1);
    }
    if (kept.isEmpty() || kept.size() > kMaxDigits)
        return std::nullopt;
    for (const QChar c : kept) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    return kept.toLongLong();
}

bool Updater::isNewer(const QString& a, const QString& b) {
    const auto da = digits(a);
    const auto db = digits(b);
    if (da && db)
        return *da > *db;
    return numericCompare(a, b) > 0;
}

QString Updater::feedBase() const {
    return UpdateFeed::base(siteURL_, defaults_.string(DefaultsKeys::kApiURL));
}

QCoro::Task<Updater::Release> Updater::fetchLatest() {
    const auto url = UpdateFeed::feedURL(feedBase());
    if (!url)
        throw UpdateError(UpdateError::Kind::noFeed);
    Release release = co_await UpdateFeed::fetch(network_, *url, options_.feedTimeout);
    co_return release;
}

QCoro::Task<> Updater::check(bool manual) {
    if (state_.is(Kind::downloading) || state_.is(Kind::installing))
        co_return;
    if (state_.is(Kind::checking) && !manual)
        co_return;
    setState({Kind::checking});
    std::optional<Release> release;
    QString failure;
    try {
        release = co_await fetchLatest();
    } catch (const std::exception& e) {
        failure = describeError(e);
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    lastCheck_ = now;
    emit lastCheckChanged();
    // An install started meanwhile owns the state now.
    const bool installStarted = state_.is(Kind::downloading) || state_.is(Kind::installing);
    if (release) {
        defaults_.setValue(DefaultsKeys::kLastUpdateCheck, now);
        if (!installStarted)
            setState(isNewer(release->build, bundleBuild()) ? State::available(*release)
                                                            : State{Kind::upToDate});
        co_return;
    }
    qCInfo(lcUpdate) << (manual ? "update check failed:" : "automatic update check failed:")
                     << failure;
    if (!installStarted)
        setState(manual ? State::failed(failure) : State{Kind::idle});
}

void Updater::setAutomatic(bool on) {
    automatic_ = on;
    autoTimer_.reset();
    if (!on)
        return;
    QTimer::singleShot(options_.firstCheckDelay, this, [this] {
        if (automatic_)
            check(false);
    });
    autoTimer_ = std::make_unique<QTimer>();
    autoTimer_->setInterval(options_.checkInterval);
    connect(autoTimer_.get(), &QTimer::timeout, this, [this] { check(false); });
    autoTimer_->start();
}

QCoro::Task<> Updater::downloadAndInstall(Release release) {
    // One install at a time: a second request while one runs changes nothing.
    if (state_.is(Kind::downloading) || state_.is(Kind::installing))
        co_return;
    try {
        co_await runChain(std::move(release));
    } catch (const std::exception& e) {
        qCWarning(lcUpdate) << "update failed:" << describeError(e);
        setState(State::failed(describeError(e)));
    }
}

QCoro::Task<> Updater::runChain(Release release) {
    std::optional<QString> folder;
    QStringList files;
    std::exception_ptr failure;
    try {
        setState({Kind::downloading});
        const QString package = co_await download(release.url);
        files.append(package);
        setState({Kind::installing});
        const QString signature = co_await downloadSignature(release.url, package);
        files.append(signature);
        co_await verifyNotarization(package, signature);
        folder = co_await PackageUnpack::attach(package, temporaryFolder(), options_.unpackLimits);
        const QString newBundle = *folder + "/Kelvane";
        if (!isRealFolder(newBundle))
            throw UpdateError(UpdateError::Kind::badDMG);
        const QString newTeam = co_await verifyBundle(newBundle, release.build);
        const std::optional<QString> runningTeam = co_await teamOfRunningBundle();
        if (!runningTeam || *runningTeam != newTeam)
            throw UpdateError(UpdateError::Kind::wrongTeam);
        QFile::remove(signature);
        files.removeOne(signature);
        const UpdateInstaller installer(
            {bundlePath(), temporaryFolder(),
             options_.logFile.isEmpty() ? Paths::updateLogFile() : options_.logFile,
             options_.relaunchArguments, requestQuit_});
        installer.installAndRelaunch(newBundle, *folder, package);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        co_await cleanUp(folder, files);
        std::rethrow_exception(failure);
    }
}

QCoro::Task<QString> Updater::download(QUrl url) {
    const QString destination = temporaryFolder() + "/Kelvane-update-" +
                                QString::number(QRandomGenerator::system()->generate()) + ".tar.gz";
    const PackageDownload::Outcome outcome =
        co_await PackageDownload::fetch(network_, url, destination, options_.maxPackageBytes);
    if (outcome == PackageDownload::Outcome::notOK)
        throw UpdateError(UpdateError::Kind::badResponse);
    if (outcome == PackageDownload::Outcome::tooLarge)
        throw UpdateError(UpdateError::Kind::badDMG);
    co_return destination;
}

QCoro::Task<QString> Updater::downloadSignature(QUrl url, QString package) {
    QUrl signatureURL = url;
    signatureURL.setPath(url.path() + ".minisig");
    const QString destination = package + ".minisig";
    const PackageDownload::Outcome outcome =
        co_await PackageDownload::fetch(network_, signatureURL, destination, kMaxSignatureBytes);
    // No signature to be had is no notarization.
    if (outcome != PackageDownload::Outcome::saved)
        throw UpdateError(UpdateError::Kind::notNotarized);
    co_return destination;
}

QCoro::Task<void> Updater::verifyNotarization(QString package, QString signature) {
    const MinisignPublicKey key = notaryKey();
    QFuture<QString> checking = QtConcurrent::run([package, signature, key]() -> QString {
        QFile file(signature);
        if (!file.open(QIODevice::ReadOnly))
            return file.errorString();
        QString error;
        const auto parsed = MinisignSignature::parse(file.read(kMaxSignatureBytes), &error);
        if (!parsed || !parsed->verifyFile(package, key, &error))
            return error;
        return {};
    });
    const QString problem = co_await checking;
    if (!problem.isEmpty()) {
        qCWarning(lcUpdate) << "update package not notarized:" << problem;
        throw UpdateError(UpdateError::Kind::notNotarized);
    }
}

QCoro::Task<QString> Updater::verifyBundle(QString bundle, QString expectedBuild) {
    QFuture<std::pair<QString, QString>> checking =
        QtConcurrent::run([bundle, expectedBuild]() -> std::pair<QString, QString> {
            QString error;
            const auto fingerprint = BundleSignature::verify(bundle, &error);
            if (!fingerprint)
                return {{}, error};
            // The feed's build number is not signed; the bundle's is. A server must not pass
            // an old, genuinely signed build off as a new one.
            const QString build = BundleVersion::read(bundle).build;
            if (build != expectedBuild)
                return {{}, "the bundle is build " + build + ", the feed said " + expectedBuild};
            return {*fingerprint, {}};
        });
    const std::pair<QString, QString> result = co_await checking;
    if (result.first.isEmpty()) {
        qCWarning(lcUpdate) << "update bundle refused:" << result.second;
        throw UpdateError(UpdateError::Kind::badSignature);
    }
    co_return result.first;
}

QCoro::Task<std::optional<QString>> Updater::teamOfRunningBundle() {
    QFuture<std::optional<QString>> reading =
        QtConcurrent::run([bundle = bundlePath()]() -> std::optional<QString> {
            QString reason;
            const auto team = BundleSignature::signer(bundle, &reason);
            if (!team)
                qCWarning(lcUpdate) << "the running bundle has no valid signature:" << reason;
            return team;
        });
    const std::optional<QString> team = co_await reading;
    co_return team;
}

QCoro::Task<void> Updater::cleanUp(std::optional<QString> folder, QStringList files) {
    QFuture<void> removing =
        QtConcurrent::run([folder, files] { PackageUnpack::cleanUp(folder, files); });
    co_await removing;
}
