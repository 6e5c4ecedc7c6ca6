#pragma once

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

// Readable in test failure messages and logs.
QString toString(const DirectMountState& state);

Q_DECLARE_METATYPE(DirectMountState)
