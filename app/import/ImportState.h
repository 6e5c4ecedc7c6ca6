#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <optional>

// The counters of a running import, as the engine last reported them.
struct ImportProgress {
    qint64 scanned = 0;
    qint64 handled = 0;
    qint64 copied = 0;
    qint64 failed = 0;
    qint64 copiedBytes = 0;
    // Smoothed copy rate, bytes per second.
    double rate = 0;
    // Seconds left, once there is enough to estimate from.
    std::optional<double> eta;
    // The source is still being listed.
    bool scanning = false;

    bool operator==(const ImportProgress&) const = default;
};

// What the importer is doing: idle, running (with its progress), finished (with its totals),
// failed (with a text for the user) or cancelled.
class ImportState {
public:
    enum class Kind { idle, running, finished, failed, cancelled };

    ImportState() = default;
    static ImportState idle() { return {}; }
    static ImportState running(ImportProgress progress);
    static ImportState finished(qint64 copied, qint64 failed, qint64 bytes, double seconds);
    static ImportState failed(QString message);
    static ImportState cancelled();

    Kind kind() const { return kind_; }
    bool isRunning() const { return kind_ == Kind::running; }
    // Finished, failed or cancelled.
    bool isOver() const;
    // The progress of a running state; zeros otherwise.
    const ImportProgress& progress() const { return progress_; }
    // The totals of a finished state.
    qint64 copied() const { return progress_.copied; }
    qint64 failedCount() const { return progress_.failed; }
    qint64 bytes() const { return progress_.copiedBytes; }
    double seconds() const { return seconds_; }
    // The text of a failed state.
    QString message() const { return message_; }

    bool operator==(const ImportState&) const = default;

private:
    Kind kind_ = Kind::idle;
    ImportProgress progress_;
    double seconds_ = 0;
    QString message_;
};

QString kindName(ImportState::Kind kind);
// {"state": kind, …the payload's fields} as the instance reports it, and back (an unknown or
// malformed object reads as idle).
QJsonObject toJson(const ImportState& state);
ImportState importStateFromJson(const QJsonObject& object);

Q_DECLARE_METATYPE(ImportState)
