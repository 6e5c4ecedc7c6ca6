#include "app/cli/CommandLine.h"
#include "shared/WaitForTask.h"

#include "app/cli/CliServices.h"
#include "app/cli/DiagnosticsCommand.h"
#include "app/cli/ImportCommand.h"
#include "app/cli/LinkCommand.h"
#include "app/cli/OpenLinkCommand.h"
#include "app/cli/SignInCommand.h"
#include "app/cli/StatusCommand.h"
#include "app/cli/UpdateCommand.h"
#include "app/shell/HeadlessApp.h"

#include <QCommandLineParser>
#include <QCoroTask>
#include <QFile>
#include <cstdio>

namespace CommandLine {

namespace {

void print(FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + '\n'), stream);
    std::fflush(stream);
}

const char* const kUsage =
    "Usage: kelvane [command]\n"
    "Commands:\n"
    "  sign-in --server URL --email EMAIL   password is read from standard input\n"
    "  sign-out\n"
    "  status [--json]\n"
    "  link PATH…                            print the web link of each item inside a drive\n"
    "  import FOLDER [--filespace NAME]     copy a folder into a filespace (Ctrl-C cancels)\n"
    "  diagnostics                          save a report for support on the Desktop\n"
    "  update [--check] [--install]         check for a newer build; --install installs it\n"
    "  --headless                            run without a desktop: "
    "mount the drives and stay running\n"
    "      [--ca-certificates FILE]          also trust the certificate authorities in FILE\n"
    "  kelvane://…                           show a linked file or folder in its drive\n"
    "With no command on a desktop, Kelvane runs in the tray.\n";

int signIn(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOption({"server", "Workspace server address.", "url"});
    parser.addOption({"email", "Account e-mail address.", "email"});
    if (!parser.parse(arguments) || !parser.isSet("server") || !parser.isSet("email")) {
        print(stderr, QStringLiteral("Usage: kelvane sign-in --server URL --email EMAIL"));
        return 2;
    }
    CliServices services;
    SignInCommand command(services);
    const QString password = SignInCommand::readPassword();
    return WaitForTask::run(
        command.signIn(parser.value("server"), parser.value("email"), password));
}

int status(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOption({"json", "Print JSON for machines."});
    if (!parser.parse(arguments)) {
        print(stderr, parser.errorText());
        return 2;
    }
    CliServices services;
    StatusCommand command(services);
    return WaitForTask::run(command.run(parser.isSet("json")));
}

QByteArrayList toBytes(const QStringList& texts) {
    QByteArrayList bytes;
    for (const QString& text : texts)
        bytes.append(QFile::encodeName(text));
    return bytes;
}

int import(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOption({"filespace", "Filespace to import into (default: the first).", "name"});
    parser.addPositionalArgument("folder", "Folder to copy.");
    if (!parser.parse(arguments) || parser.positionalArguments().size() != 1) {
        print(stderr, QStringLiteral("Usage: kelvane import FOLDER [--filespace NAME]"));
        return 2;
    }
    std::optional<QString> filespace;
    if (parser.isSet("filespace"))
        filespace = parser.value("filespace");
    return WaitForTask::run(ImportCommand::run(parser.positionalArguments().first(), filespace));
}

int headless(const QStringList& arguments) {
    HeadlessApp::Options options;
    options.arguments = QStringList{QStringLiteral("--headless")} + arguments.mid(1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--file-provider")) {
            options.fileProvider = true;
        } else if (arguments[i] == QLatin1String("--ca-certificates") && i + 1 < arguments.size()) {
            options.caCertificates = arguments[++i];
        } else {
            print(stderr,
                  QStringLiteral("kelvane --headless: unknown argument \"%1\"").arg(arguments[i]));
            return 2;
        }
    }
    return HeadlessApp::run(options);
}

} // namespace

int run(const QStringList& arguments, const QByteArrayList& rawArguments) {
    const QString command = arguments.value(1);
    QStringList rest = arguments;
    if (rest.size() > 1)
        rest.removeAt(1);
    if (command == QLatin1String("sign-in"))
        return signIn(rest);
    if (command == QLatin1String("sign-out")) {
        CliServices services;
        SignInCommand command(services);
        return WaitForTask::run(command.signOut());
    }
    if (command == QLatin1String("status"))
        return status(rest);
    if (command == QLatin1String("link"))
        return LinkCommand::run(rawArguments.size() == arguments.size() ? rawArguments.mid(2)
                                                                        : toBytes(rest.mid(1)));
    if (command == QLatin1String("import"))
        return import(rest);
    if (command == QLatin1String("diagnostics")) {
        CliServices services;
        return WaitForTask::run(DiagnosticsCommand(services).run());
    }
    if (command == QLatin1String("--headless"))
        return headless(rest);
    if (command == QLatin1String("update"))
        return UpdateCommand::run(rest);
    if (command.startsWith(QLatin1String("kelvane:")))
        return OpenLinkCommand::run(command);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command.isEmpty()) {
        print(stdout, QStringLiteral("Kelvane %1: no desktop session here (neither DISPLAY nor "
                                     "WAYLAND_DISPLAY is set), so there is no tray to run in; "
                                     "run `kelvane --headless`, or see `kelvane --help`.")
                          .arg(KELVANE_VERSION));
        return 0;
    }
    print(stderr, QStringLiteral("kelvane: unknown command \"%1\"").arg(command));
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace CommandLine
