#pragma once

#include <httplib.h>

class FilespaceStore;
class Workspace;

// Sign-in and the account endpoints: the user, the filespaces, the provision configuration
// and the storage statistics.
class AccountRoutes {
public:
    AccountRoutes(Workspace& workspace, const FilespaceStore& store)
        : workspace_(workspace), store_(store) {}

    void install(httplib::Server& server);

private:
    void login(const httplib::Request& request, httplib::Response& response);
    void me(const httplib::Request& request, httplib::Response& response) const;
    void filespaces(httplib::Response& response) const;
    void provisionConfig(httplib::Response& response) const;
    void storage(httplib::Response& response) const;

    Workspace& workspace_;
    const FilespaceStore& store_;
};
