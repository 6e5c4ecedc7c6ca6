#pragma once

#include <QCoroTask>

struct CliServices;

// `kelvane diagnostics`: writes the report to the Desktop and prints its path. The running
// instance writes it when there is one (it knows every drive's state); otherwise this process
// does, and the drives' states read "unknown".
class DiagnosticsCommand {
public:
    explicit DiagnosticsCommand(CliServices& services);
    QCoro::Task<int> run();

private:
    QCoro::Task<int> writeHere();
    CliServices& services_;
};
