#include "platform/fileprovider/host/FileProviderHost.h"

#include "platform/PasteboardHandOff.h"
#include "platform/Paths.h"
#include "platform/fileprovider/FileProviderDomainService.h"
#include "platform/fileprovider/host/ChangeCommands.h"
#include "platform/fileprovider/host/ContentCommands.h"
#include "platform/fileprovider/host/HostContentCache.h"
#include "platform/fileprovider/host/ItemCommands.h"
#include "platform/fileprovider/host/ServeLoop.h"

#include <QTextStream>
#include <cstdio>

namespace {

struct GlobalOptions {
    bool json = false;
    QString domain;
    std::chrono::milliseconds deadline = std::chrono::seconds(120);
    QString clipboardKeeper;
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
        } else if (a == QLatin1String("--domain") || a == QLatin1String("--timeout") ||
                   a == QLatin1String("--clipboard-keeper")) {
            if (i + 1 >= arguments.size()) {
                *error = a + " needs a value";
                return std::nullopt;
            }
            const QString value = arguments[++i];
            if (a == QLatin1String("--domain")) {
                options.domain = value;
                continue;
            }
            if (a == QLatin1String("--clipboard-keeper")) {
                options.clipboardKeeper = value;
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
    addCommand(std::make_unique<GetCommand>());
    addCommand(std::make_unique<ReadCommand>());
    addCommand(std::make_unique<PutCommand>());
    addCommand(std::make_unique<MkdirCommand>());
    addCommand(std::make_unique<MoveCommand>());
    addCommand(std::make_unique<RemoveCommand>());
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
                   " [--json] [--domain ID] [--timeout SECONDS] [--clipboard-keeper PROGRAM] "
                   "COMMAND\n"
                   "Commands:\n";
    for (const auto& c : commands_)
        text += "  " + c->name() + ' ' + c->synopsis() + '\n';
    text += QStringLiteral("  serve (then one command per line on standard input)\n");
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
    const bool serving = name == QLatin1String("serve");
    HostCommand* chosen = serving ? nullptr : command(name);
    if (!serving && !chosen) {
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
    PasteboardHandOff pasteboard({Paths::instanceSocket(), options->clipboardKeeper.isEmpty()
                                                               ? Paths::clipboardKeeper()
                                                               : options->clipboardKeeper});
    HostContentCache contents;
    const HostContext context{pasteboard, contents};
    auto extension = makeExtension_(manager->domain(), {domains_, pasteboard});
    const HostSession::Settings settings{options->json, options->deadline, describeError_};
    int exitCode = HostSession::kOk;
    bool timedOut = false;
    if (serving) {
        exitCode = serve(*extension, *manager, context, settings, out, err, &timedOut);
    } else {
        HostSession session(*extension, *manager, context, settings, out, err);
        exitCode = runOne(session, *chosen, options->rest.mid(1));
        timedOut = session.timedOut();
    }
    extension->invalidate();
    if (timedOut)
        (void)extension.release(); // its tasks may still refer to it
    out.flush();
    return exitCode;
}

int FileProviderHost::runOne(HostSession& session, HostCommand& chosen,
                             const QStringList& arguments) {
    return chosen.run(session, arguments);
}

int FileProviderHost::serve(FileProviderReplicatedExtension& extension,
                            FileProviderDomainManager& manager, HostContext context,
                            const HostSession::Settings& settings, QTextStream& out,
                            QTextStream& err, bool* timedOut) {
    ServeInput input;
    int last = HostSession::kOk;
    while (const auto words = input.next()) {
        if (words->isEmpty())
            continue;
        if (words->first() == QLatin1String("quit"))
            break;
        HostCommand* chosen = command(words->first());
        HostSession session(extension, manager, context, settings, out, err);
        if (!chosen || words->first() == QLatin1String("serve"))
            last =
                session.failWith(HostSession::kUsage, "unknown command \"" + words->first() + '"');
        else
            last = runOne(session, *chosen, words->mid(1));
        *timedOut = *timedOut || session.timedOut();
        err.flush();
        out << "-- exit " << last << Qt::endl;
    }
    return last;
}
