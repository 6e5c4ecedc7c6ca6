#include "platform/fileprovider/host/HostSession.h"

#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemFields.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

namespace {

const QString kFrameworkDomain = QStringLiteral("NSFileProviderErrorDomain");

} // namespace

QJsonObject HostErrorInfo::toJson() const {
    return {{"domain", domain}, {"code", code}, {"description", description}};
}

QString HostErrorInfo::text() const {
    return QStringLiteral("error %1 %2: %3").arg(domain).arg(code).arg(description);
}

HostSession::HostSession(FileProviderReplicatedExtension& extension,
                         FileProviderDomainManager& manager, HostContext context, Settings settings,
                         QTextStream& out, QTextStream& err)
    : extension_(extension), manager_(manager), context_(context), settings_(std::move(settings)),
      anchors_(manager.stateDir() + QStringLiteral("/anchors.json")), out_(out), err_(err) {}

std::optional<QString> HostSession::identifierFor(const QString& argument) {
    if (argument.startsWith(QLatin1String("NSFileProvider")))
        return argument;
    QStringList pieces;
    for (const QString& piece : argument.split('/', Qt::SkipEmptyParts)) {
        if (piece == QLatin1String(".") || piece == QLatin1String(".."))
            return std::nullopt;
        pieces.append(piece);
    }
    if (pieces.isEmpty())
        return FileProviderItemIdentifier::kRootContainer;
    return '/' + pieces.join('/');
}

bool HostSession::waitUntil(HostWakeup& wakeup, const std::function<bool()>& done) {
    QTimer expiry;
    expiry.setSingleShot(true);
    expiry.start(settings_.deadline);
    while (!done()) {
        if (!expiry.isActive()) {
            timedOut_ = true;
            return false;
        }
        QEventLoop loop;
        QObject::connect(&wakeup, &HostWakeup::woke, &loop, &QEventLoop::quit);
        QObject::connect(&expiry, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (!done())
            loop.exec();
    }
    return true;
}

qint64 HostSession::signalGeneration(const QString& containerIdentifier) const {
    qint64 total = manager_.signalGeneration(FileProviderItemIdentifier::kRootContainer) +
                   manager_.signalGeneration(FileProviderItemIdentifier::kWorkingSet);
    if (containerIdentifier != FileProviderItemIdentifier::kRootContainer &&
        containerIdentifier != FileProviderItemIdentifier::kWorkingSet)
        total += manager_.signalGeneration(containerIdentifier);
    return total;
}

HostErrorInfo HostSession::describe(std::exception_ptr error) const {
    if (settings_.describeError) {
        if (auto info = settings_.describeError(error))
            return *info;
    }
    try {
        std::rethrow_exception(error);
    } catch (const FileProviderError& e) {
        return {kFrameworkDomain, e.code(), e.description()};
    } catch (const std::exception& e) {
        return {QStringLiteral("std::exception"), 0, QString::fromUtf8(e.what())};
    } catch (...) {
        return {QStringLiteral("unknown"), 0, QStringLiteral("an unknown error")};
    }
}

int HostSession::fail(std::exception_ptr error) {
    const HostErrorInfo info = describe(error);
    if (json())
        printJson(QJsonObject{{"error", info.toJson()}});
    else
        err_ << info.text() << Qt::endl;
    return kFailed;
}

int HostSession::failWith(int exitCode, const QString& message) {
    err_ << "kelvane-fileprovider: " << message << Qt::endl;
    return exitCode;
}

int HostSession::timedOutWaitingFor(const QString& what) {
    return failWith(kTimedOut, QStringLiteral("the extension did not finish %1 in time").arg(what));
}

void HostSession::printItem(const FileProviderItemProtocol& item, const QJsonObject& extra) {
    const auto fields = FileProviderItemFields::of(item);
    if (json()) {
        QJsonObject o = fields.toJson();
        for (auto it = extra.begin(); it != extra.end(); ++it)
            o.insert(it.key(), it.value());
        printJson(o);
        return;
    }
    QString line = fields.line(fields.itemIdentifier);
    for (auto it = extra.begin(); it != extra.end(); ++it)
        line += '\t' + it.key() + '=' + it.value().toVariant().toString();
    print(line);
}

void HostSession::print(const QString& line) {
    out_ << line << Qt::endl;
}

void HostSession::printJson(const QJsonValue& value) {
    const QJsonDocument doc =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    out_ << doc.toJson(QJsonDocument::Indented);
    out_.flush();
}
