#pragma once

#include "platform/fileprovider/FileProviderDomainService.h"

// The domain list kept in one JSON file ({"domains": [{identifier, displayName}, ...]}),
// replaced atomically so the extension's host never reads half a list.
class FileProviderDomainRegistry : public FileProviderDomainService {
public:
    // An empty file means the per-user default, resolved at each call.
    explicit FileProviderDomainRegistry(QString file = {});

    QList<FileProviderDomain> domains() override;
    void addDomain(const FileProviderDomain& domain) override;
    void removeDomain(const FileProviderDomain& domain) override;
    std::unique_ptr<FileProviderDomainManager>
    managerForDomain(const FileProviderDomain& domain) override;

    QString file() const;

private:
    void save(const QList<FileProviderDomain>& list);
    QString file_;
};
