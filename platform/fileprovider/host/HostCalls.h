#pragma once

#include "platform/fileprovider/FileProviderReplicatedExtension.h"

#include <optional>

class HostSession;

// The extension's entry points called as the system calls them, each waited for within the
// session's deadline: nothing when the extension did not complete in time. `completions`
// counts the completion calls seen, so a command can tell an extension that completed twice.
namespace HostCalls {

struct ItemAnswer {
    FileProviderItemPtr item;
    std::exception_ptr error;
    int completions = 0;
};
std::optional<ItemAnswer> lookUp(HostSession& session, const QString& identifier);

struct FetchAnswer {
    std::optional<QString> file;
    FileProviderItemPtr item;
    std::exception_ptr error;
    int completions = 0;
};
std::optional<FetchAnswer> fetch(HostSession& session, const QString& identifier);

struct PartialAnswer {
    std::optional<QString> file;
    FileProviderItemPtr item;
    FileProviderRange fetched;
    std::exception_ptr error;
    int completions = 0;
};
std::optional<PartialAnswer> fetchPartial(HostSession& session, const QString& identifier,
                                          FileProviderRange range, qint64 alignment);

struct ChangeAnswer {
    FileProviderItemPtr item;
    quint64 remainingFields = 0;
    bool shouldFetchContent = false;
    std::exception_ptr error;
    int completions = 0;
};
std::optional<ChangeAnswer> create(HostSession& session, FileProviderItemPtr itemTemplate,
                                   std::optional<QString> contents);
std::optional<ChangeAnswer> modify(HostSession& session, FileProviderItemPtr item,
                                   const FileProviderItemVersion& baseVersion,
                                   quint64 changedFields, std::optional<QString> contents);

struct ErrorAnswer {
    std::exception_ptr error;
    int completions = 0;
};
std::optional<ErrorAnswer> remove(HostSession& session, const QString& identifier);
std::optional<ErrorAnswer> perform(HostSession& session, const QString& action,
                                   const QStringList& identifiers);

} // namespace HostCalls
