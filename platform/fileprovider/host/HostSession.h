#pragma once

#include "platform/fileprovider/FileProviderDomainManager.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"
#include "platform/fileprovider/host/HostWakeup.h"
#include "platform/fileprovider/host/SyncAnchorStore.h"

#include <QJsonObject>
#include <QTextStream>
#include <chrono>
#include <functional>
#include <optional>

// How an error reaches the system: its domain, code and the text a user would see.
struct HostErrorInfo {
    QString domain;
    qint64 code = 0;
    QString description;

    QJsonObject toJson() const;
    QString text() const;
};

// What one host command works with: the extension the system started for the domain, the
// domain's manager and anchors, the output form and the deadline of every call it waits on.
class HostContentCache;
class TextPasteboard;

// What the system keeps between the commands of one host run (several in `serve`).
struct HostContext {
    TextPasteboard& pasteboard;
    HostContentCache& contents;
};

class HostSession {
public:
    using ErrorDescriber = std::function<std::optional<HostErrorInfo>(std::exception_ptr)>;

    enum ExitCode { kOk = 0, kFailed = 1, kUsage = 2, kNoDomain = 3, kTimedOut = 4 };

    struct Settings {
        bool json = false;
        std::chrono::milliseconds deadline = std::chrono::seconds(120);
        ErrorDescriber describeError;
    };

    HostSession(FileProviderReplicatedExtension& extension, FileProviderDomainManager& manager,
                HostContext context, Settings settings, QTextStream& out, QTextStream& err);

    FileProviderReplicatedExtension& extension() { return extension_; }
    FileProviderDomainManager& domainManager() { return manager_; }
    SyncAnchorStore& anchors() { return anchors_; }
    TextPasteboard& pasteboard() { return context_.pasteboard; }
    // The parts of items fetched so far, as the system keeps them for reads.
    HostContentCache& contents() { return context_.contents; }
    bool json() const { return settings_.json; }

    // The item identifier a command-line path names: "/" (or nothing) is the root container,
    // identifiers of the framework pass as they are, any other path is made absolute with
    // repeated and trailing slashes dropped. Nothing for a path with a "." or ".." piece.
    static std::optional<QString> identifierFor(const QString& argument);

    // Runs the event loop until done() holds (re-checked at every wake-up) or the deadline
    // passes; false when it passed. A timed-out session must not free the extension.
    bool waitUntil(HostWakeup& wakeup, const std::function<bool()>& done);
    bool timedOut() const { return timedOut_; }

    // Generations the domain's enumerator signals have reached that concern the container.
    qint64 signalGeneration(const QString& containerIdentifier) const;

    HostErrorInfo describe(std::exception_ptr error) const;
    // Prints the error as the system would have received it; returns kFailed.
    int fail(std::exception_ptr error);
    // Prints a failure of the host itself; returns the code.
    int failWith(int exitCode, const QString& message);
    // The extension did not call back within the deadline; returns kTimedOut.
    int timedOutWaitingFor(const QString& what);
    // The item as the system received it: one line, or its fields as JSON.
    void printItem(const FileProviderItemProtocol& item, const QJsonObject& extra = {});
    void print(const QString& line);
    void printJson(const QJsonValue& value);

private:
    FileProviderReplicatedExtension& extension_;
    FileProviderDomainManager& manager_;
    HostContext context_;
    Settings settings_;
    SyncAnchorStore anchors_;
    QTextStream& out_;
    QTextStream& err_;
    bool timedOut_ = false;
};
