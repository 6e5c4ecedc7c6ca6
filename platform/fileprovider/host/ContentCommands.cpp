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

// Writes the kept segments, one after the other, to out; the count written, or -1.
qint64 writeSegments(const QList<HostContentCache::Segment>& segments, const QString& out,
                     QString* error) {
    QFile target(out);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(out, target.errorString());
        return -1;
    }
    QByteArray chunk;
    qint64 written = 0;
    for (const HostContentCache::Segment& segment : segments) {
        QFile in(segment.file);
        if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ||
            !in.seek(segment.range.location)) {
            *error = QStringLiteral("cannot read %1: %2").arg(segment.file, in.errorString());
            return -1;
        }
        for (qint64 done = 0; done < segment.range.length;) {
            chunk.resize(std::min(kCopyChunk, segment.range.length - done));
            const qint64 got = in.read(chunk.data(), chunk.size());
            if (got <= 0 || target.write(chunk.constData(), got) != got) {
                *error = QStringLiteral("cannot copy into %1").arg(out);
                return -1;
            }
            done += got;
            written += got;
        }
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
    FileProviderItemPtr item = session.contents().covering(*id, wanted);
    if (item) {
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
        if (!session.contents().add(*id, answer->item, *answer->file, answer->fetched, &error))
            return session.failWith(HostSession::kFailed, error);
        item = answer->item;
        extra.insert(
            "fetched",
            QStringLiteral("%1+%2").arg(answer->fetched.location).arg(answer->fetched.length));
    }
    // An application reads what the kept ranges hold from the offset on, up to the end.
    const qint64 end = std::min(r->offset + r->length, item->documentSize().value_or(0));
    const qint64 written =
        writeSegments(session.contents().segments(*id, r->offset, end), r->out, &error);
    if (written < 0)
        return session.failWith(HostSession::kFailed, error);
    extra.insert("read", written);
    session.printItem(*item, extra);
    return HostSession::kOk;
}
