#pragma once

#include <QJsonObject>
#include <QObject>

class AppDelegate;

// Headless runs print every change of a drive's state, of the aggregate state and of the
// upload backlog as it happens, one bracketed line each.
class ActivityLog : public QObject {
    Q_OBJECT
public:
    explicit ActivityLog(AppDelegate& delegate, QObject* parent = nullptr);

private:
    void logMountChanges();
    void logActivityChanges();
    AppDelegate& delegate_;
    QJsonObject lastAggregate_;
    QMap<QString, QJsonObject> lastStates_;
    qint64 lastBacklog_ = -1;
    bool lastActive_ = false;
};
