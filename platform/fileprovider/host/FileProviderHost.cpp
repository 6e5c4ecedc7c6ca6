#include "platform/fileprovider/host/FileProviderHost.h"

#include "platform/fileprovider/FileProviderDomainService.h"
#include "platform/fileprovider/host/ItemCommands.h"

#include <QTextStream>
#include <cstdio>

namespace {

struct GlobalOptions {
    bool json = false;
    QString domain;
    std::chrono::milliseconds deadline = std::chrono::seconds(120);
    QStringList rest;
};

std::optional<GlobalOptions> parse(const QStringList& arguments, const QString& defaultDomain,
                                   QString* error) {
    GlobalOptions options;
    options.domain = defaultDomain;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--json")) {
            options.json = true;
        } else if (a == QLatin1String("--domain") || a == QLatin1String("--timeout")) {
            if (i + 1 >= arguments.size()) {
                *error = a + " needs a value";
                return std::nullopt;
            }
            const QString value = arguments[++i];
            if (a == QLatin1String("--domain")) {
                options.domain = value;
                continue;
            }
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            if (!ok || seconds <= 0) {
                *error = "not a number of seconds: " + value;
                return std::nullopt;
            }
            options.deadline = std::chrono::milliseconds(qint64(seconds * 1000));
        } else {
            options.rest.append(a);
        }
    }
    return options;
}

} // namespace

FileProviderHost::FileProviderHost(QString program, FileProviderDomainService& domains,
                                   QString defaultDomain, ExtensionFactory makeExtension,
                                   HostSession::ErrorDescriber describeError)
    : program_(std::move(program)), domains_(domains), defaultDomain_(std::move(defaultDomain)),
      makeExtension_(std::move(makeExtension)), describeError_(std::move(describeError)) {}

void FileProviderHost::addCommand(std::unique_ptr<HostCommand> command) {
    commands_.push_back(std::move(command));
}

void FileProviderHost::addStandardCommands() {
    addCommand(std::make_unique<ListCommand>());
    addCommand(std::make_unique<StatCommand>());
    addCommand(std::make_unique<ChangesCommand>());
}

HostCommand* FileProviderHost::command(const QString& name) const {
    for (const auto& c : commands_) {
        if (c->name() == name)
            return c.get();
    }
    return nullptr;
}

QString FileProviderHost::usage() const {
    QString text = "Usage: " + program_ +
                   " [--json] [--domain ID] [--timeout SECONDS] COMMAND\n"
                   "Commands:\n";
    for (const auto& c : commands_)
        text += "  " + c->name() + ' ' + c->synopsis() + '\n';
    return text;
}

int FileProviderHost::run(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString error;
    const auto options = parse(arguments, defaultDomain_, &error);
    if (!options) {
        err << program_ << ": " << error << '\n' << usage() << Qt::flush;
        return HostSession::kUsage;
    }
    const QString name = options->rest.value(0);
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        out << usage() << Qt::flush;
        return HostSession::kOk;
    }
    if (name.isEmpty()) {
        err << program_ << ": no command\n" << usage() << Qt::flush;
        return HostSession::kUsage;
    }
    HostCommand* chosen = command(name);
    if (!chosen) {
        err << program_ << ": unknown command \"" << name << "\"\n" << usage() << Qt::flush;
        return HostSession::kUsage;
    }
    // The system starts an extension only for a domain the application registered.
    const auto manager = domains_.managerForDomain({options->domain, {}});
    if (!manager) {
        err << program_ << ": no file-provider domain \"" << options->domain
            << "\" is registered; the application registers it in its file-provider mode"
            << Qt::endl;
        return HostSession::kNoDomain;
    }
    auto extension = makeExtension_(manager->domain());
    HostSession session(*extension, *manager, {options->json, options->deadline, describeError_},
                        out, err);
    const int exitCode = chosen->run(session, options->rest.mid(1));
    extension->invalidate();
    if (session.timedOut())
        (void)extension.release(); // its tasks may still refer to it
    out.flush();
    return exitCode;
}
