#include "platform/fileprovider/host/ContentCommands.h"

#include "platform/fileprovider/host/HostArguments.h"
#include "platform/fileprovider/host/HostCalls.h"
#include "platform/fileprovider/host/HostContentCache.h"

#include <QJsonObject>

namespace {

using HostArguments::completedTwice;

constexpr qint64 kCopyChunk = 4 * 1024 * 1024;

int neither(HostSession& session) {
    return session.failWith(HostSession::kFailed,
                            QStringLiteral("the extension answered with neither contents nor "
                                           "an error"));
}

// Writes [start, end) of the kept file to out; the count written, or -1.
qint64 writeSlice(const QString& kept, qint64 start, qint64 end, const QString& out,
                  QString* error) {
    QFile in(kept);
    QFile target(out);
    if (!in.open(QIODevice::ReadOnly) || !in.seek(start)) {
        *error = QStringLiteral("cannot read %1: %2").arg(kept, in.errorString());
        return -1;
    }
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(out, target.errorString());
        return -1;
    }
    qint64 written = 0;
    while (start + written < end) {
        const QByteArray chunk = in.read(std::min(kCopyChunk, end - start - written));
        if (chunk.isEmpty() || target.write(chunk) != chunk.size()) {
            *error = QStringLiteral("cannot copy into %1").arg(out);
            return -1;
        }
        written += chunk.size();
    }
    return written;
}

struct ReadArguments {
    QString path;
    qint64 offset = 0;
    qint64 length = 0;
    qint64 alignment = 1;
    QString out;
};

std::optional<ReadArguments> parseRead(const QStringList& arguments, QString* error) {
    QStringList rest;
    ReadArguments r;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != QLatin1String("--align")) {
            rest.append(arguments[i]);
            continue;
        }
        bool ok = false;
        r.alignment = arguments.value(++i).toLongLong(&ok);
        if (!ok || r.alignment <= 0) {
            *error = QStringLiteral("--align needs a positive number of bytes");
            return std::nullopt;
        }
    }
    bool offsetOk = false;
    bool lengthOk = false;
    if (rest.size() == 4) {
        r.path = rest[0];
        r.offset = rest[1].toLongLong(&offsetOk);
        r.length = rest[2].toLongLong(&lengthOk);
        r.out = rest[3];
    }
    if (!offsetOk || !lengthOk || r.offset < 0 || r.length < 0) {
        *error = QStringLiteral("expected PATH OFFSET LENGTH [--align N] OUT");
        return std::nullopt;
    }
    return r;
}

} // namespace

int GetCommand::run(HostSession& session, const QStringList& arguments) {
    if (arguments.size() != 2)
        return session.failWith(HostSession::kUsage, QStringLiteral("expected PATH OUT"));
    int exitCode = HostSession::kUsage;
    const auto id = HostArguments::identifier(session, arguments[0], &exitCode);
    if (!id)
        return exitCode;
    const auto answer = HostCalls::fetch(session, *id);
    if (!answer)
        return session.timedOutWaitingFor(QStringLiteral("the download"));
    if (answer->completions > 1)
        return completedTwice(session);
    if (answer->error)
        return session.fail(answer->error);
    if (!answer->file || !answer->item)
        return neither(session);
    QString error;
    if (!HostArguments::moveFile(*answer->file, arguments[1], &error))
        return session.failWith(HostSession::kFailed, error);
    session.printItem(*answer->item, {{"file", arguments[1]}});
    return HostSession::kOk;
}

int ReadCommand::run(HostSession& session, const QStringList& arguments) {
    QString error;
    const auto r = parseRead(arguments, &error);
    if (!r)
        return session.failWith(HostSession::kUsage, error);
    int exitCode = HostSession::kUsage;
    const auto id = HostArguments::identifier(session, r->path, &exitCode);
    if (!id)
        return exitCode;
    const FileProviderRange wanted{r->offset, r->length};

    QJsonObject extra;
    auto hit = session.contents().covering(*id, wanted);
    if (hit) {
        extra.insert("fetched", QStringLiteral("kept"));
    } else {
        const auto answer = HostCalls::fetchPartial(session, *id, wanted, r->alignment);
        if (!answer)
            return session.timedOutWaitingFor(QStringLiteral("the partial download"));
        if (answer->completions > 1)
            return completedTwice(session);
        if (answer->error)
            return session.fail(answer->error);
        if (!answer->file || !answer->item)
            return neither(session);
        const auto kept =
            session.contents().add(*id, answer->item, *answer->file, answer->fetched, &error);
        if (!kept)
            return session.failWith(HostSession::kFailed, error);
        hit = HostContentCache::Hit{*kept, answer->item};
        extra.insert(
            "fetched",
            QStringLiteral("%1+%2").arg(answer->fetched.location).arg(answer->fetched.length));
    }
    // An application reads what the kept ranges hold from the offset on, up to the end.
    const qint64 size = hit->item->documentSize().value_or(0);
    qint64 end = std::min(r->offset + r->length, size);
    for (const FileProviderRange& k : session.contents().ranges(*id)) {
        if (k.location <= r->offset && r->offset <= k.location + k.length)
            end = std::min(end, k.location + k.length);
    }
    const qint64 written =
        writeSlice(hit->file, r->offset, std::max(end, r->offset), r->out, &error);
    if (written < 0)
        return session.failWith(HostSession::kFailed, error);
    extra.insert("read", written);
    session.printItem(*hit->item, extra);
    return HostSession::kOk;
}
