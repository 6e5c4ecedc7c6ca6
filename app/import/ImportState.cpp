#include "app/import/ImportState.h"

namespace {

const char* const kKindNames[] = {"idle", "running", "finished", "failed", "cancelled"};

QJsonObject progressJson(const ImportProgress& p) {
    QJsonObject o{{"scanned", p.scanned},  {"handled", p.handled},         {"copied", p.copied},
                  {"failed", p.failed},    {"copiedBytes", p.copiedBytes}, {"rate", p.rate},
                  {"scanning", p.scanning}};
    if (p.eta)
        o.insert("eta", *p.eta);
    return o;
}

ImportProgress progressFromJson(const QJsonObject& o) {
    ImportProgress p;
    p.scanned = o.value("scanned").toInteger();
    p.handled = o.value("handled").toInteger();
    p.copied = o.value("copied").toInteger();
    p.failed = o.value("failed").toInteger();
    p.copiedBytes = o.value("copiedBytes").toInteger();
    p.rate = o.value("rate").toDouble();
    p.scanning = o.value("scanning").toBool();
    if (o.value("eta").isDouble())
        p.eta = o.value("eta").toDouble();
    return p;
}

} // namespace

ImportState ImportState::running(ImportProgress progress) {
    ImportState s;
    s.kind_ = Kind::running;
    s.progress_ = progress;
    return s;
}

ImportState ImportState::finished(qint64 copied, qint64 failed, qint64 bytes, double seconds) {
    ImportState s;
    s.kind_ = Kind::finished;
    s.progress_.copied = copied;
    s.progress_.failed = failed;
    s.progress_.copiedBytes = bytes;
    s.seconds_ = seconds;
    return s;
}

ImportState ImportState::failed(QString message) {
    ImportState s;
    s.kind_ = Kind::failed;
    s.message_ = std::move(message);
    return s;
}

ImportState ImportState::cancelled() {
    ImportState s;
    s.kind_ = Kind::cancelled;
    return s;
}

bool ImportState::isOver() const {
    return kind_ == Kind::finished || kind_ == Kind::failed || kind_ == Kind::cancelled;
}

QString kindName(ImportState::Kind kind) {
    return QString::fromLatin1(kKindNames[int(kind)]);
}

QJsonObject toJson(const ImportState& state) {
    QJsonObject o{{"state", kindName(state.kind())}};
    switch (state.kind()) {
    case ImportState::Kind::running:
        o.insert("progress", progressJson(state.progress()));
        break;
    case ImportState::Kind::finished:
        o.insert("copied", state.copied());
        o.insert("failed", state.failedCount());
        o.insert("bytes", state.bytes());
        o.insert("seconds", state.seconds());
        break;
    case ImportState::Kind::failed:
        o.insert("message", state.message());
        break;
    case ImportState::Kind::idle:
    case ImportState::Kind::cancelled:
        break;
    }
    return o;
}

ImportState importStateFromJson(const QJsonObject& o) {
    const QString kind = o.value("state").toString();
    if (kind == QLatin1String("running"))
        return ImportState::running(progressFromJson(o.value("progress").toObject()));
    if (kind == QLatin1String("finished"))
        return ImportState::finished(o.value("copied").toInteger(), o.value("failed").toInteger(),
                                     o.value("bytes").toInteger(), o.value("seconds").toDouble());
    if (kind == QLatin1String("failed"))
        return ImportState::failed(o.value("message").toString());
    if (kind == QLatin1String("cancelled"))
        return ImportState::cancelled();
    return ImportState::idle();
}
