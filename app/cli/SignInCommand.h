#pragma once

#include <QCoroTask>
#include <QString>

struct CliServices;

// `kelvane sign-in` and `kelvane sign-out`: the settings window's sign-in without a window.
class SignInCommand {
public:
    explicit SignInCommand(CliServices& services);

    // Prints "Signed in as NAME <EMAIL>" (exit 0) or the error's description (exit 1); a
    // sign-in whose session or settings cannot be stored is undone and says so.
    QCoro::Task<int> signIn(QString server, QString email, QString password);
    // Clears the token from every store; one that could not be cleared is named (exit 1).
    QCoro::Task<int> signOut();

    // One line from standard input, without echo when it is a terminal.
    static QString readPassword();

private:
    CliServices& services_;
};
