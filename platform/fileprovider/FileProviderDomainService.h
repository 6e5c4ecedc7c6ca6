#pragma once

#include "platform/fileprovider/FileProviderDomain.h"
#include "platform/fileprovider/FileProviderDomainManager.h"

#include <QList>
#include <memory>

// The system side of domain control: which domains this application has, adding and removing
// them, and a per-domain manager for a registered one. Failures throw FileProviderError.
class FileProviderDomainService {
public:
    virtual ~FileProviderDomainService() = default;

    // This application's registered domains; empty when they cannot be read.
    virtual QList<FileProviderDomain> domains() = 0;
    // Returns once the domain exists.
    virtual void addDomain(const FileProviderDomain& domain) = 0;
    // Returns once the domain is gone; removing an unknown domain succeeds.
    virtual void removeDomain(const FileProviderDomain& domain) = 0;
    // Nothing when the system has no such domain.
    virtual std::unique_ptr<FileProviderDomainManager>
    managerForDomain(const FileProviderDomain& domain) = 0;
};
