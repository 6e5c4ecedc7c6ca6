#pragma once

#include <QJsonObject>
#include <QMap>
#include <QMetaType>
#include <QString>

// What the drives show: one value per filespace and one aggregate for the whole workspace.
class DirectMountState {
public:
    enum class Kind { inactive, mounting, mounted, error };

    DirectMountState() = default;
    static DirectMountState inactive() { return {}; }
    static DirectMountState mounting() { return DirectMountState(Kind::mounting, {}); }
    static DirectMountState mounted(QString path) {
        return DirectMountState(Kind::mounted, std::move(path));
    }
    static DirectMountState error(QString message) {
        return DirectMountState(Kind::error, std::move(message));
    }

    Kind kind() const { return kind_; }
    bool isMounted() const { return kind_ == Kind::mounted; }
    bool isError() const { return kind_ == Kind::error; }
    // The mount point of a mounted state; empty otherwise.
    QString path() const { return kind_ == Kind::mounted ? text_ : QString(); }
    // The user-facing text of an error state; empty otherwise.
    QString message() const { return kind_ == Kind::error ? text_ : QString(); }

    bool operator==(const DirectMountState&) const = default;

    // Priority error > mounting > mounted > inactive; the first error or mounted entry met wins.
    static DirectMountState aggregate(const QMap<QString, DirectMountState>& states);

private:
    DirectMountState(Kind kind, QString text) : kind_(kind), text_(std::move(text)) {}
    Kind kind_ = Kind::inactive;
    QString text_;
};

using MountStateMap = QMap<QString, DirectMountState>;

// The one text form of a state, shared by the command line, the logs and the views:
// "inactive", "mounting", "mounted at PATH", "error: MESSAGE".
QString describe(const DirectMountState& state);
QString kindName(DirectMountState::Kind kind);
// {"state": kind, "path": …, "message": …} as the instance reports it, and back (an unknown or
// malformed object reads as inactive).
QJsonObject toJson(const DirectMountState& state);
DirectMountState stateFromJson(const QJsonObject& object);

Q_DECLARE_METATYPE(DirectMountState)
