#pragma once

#include <QCoroTask>
#include <QJsonObject>

struct CliServices;

// `kelvane status`: the session, the filespaces and the storage statistics, asked of the
// server afresh.
class StatusCommand {
public:
    explicit StatusCommand(CliServices& services);

    QCoro::Task<int> run(bool json);
    // The report as JSON; "error" holds the first failure's description.
    QCoro::Task<QJsonObject> collect();
    static QString renderText(const QJsonObject& report);

private:
    CliServices& services_;
};
