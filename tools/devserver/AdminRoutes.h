#pragma once

#include <httplib.h>

class EventHub;
class FaultInjector;
class FilespaceStore;
class Workspace;

// The admin API with which tests and demos steer the server: faults, events, mount options
// and changes to files made "elsewhere".
class AdminRoutes {
public:
    AdminRoutes(Workspace& workspace, const FilespaceStore& store, FaultInjector& faults,
                EventHub& hub)
        : workspace_(workspace), store_(store), faults_(faults), hub_(hub) {}

    void install(httplib::Server& server);

private:
    void addFault(const httplib::Request& request, httplib::Response& response);
    void emitEvent(const httplib::Request& request, httplib::Response& response);
    void setMountOptions(const httplib::Request& request, httplib::Response& response);
    void writeFile(const httplib::Request& request, httplib::Response& response);

    Workspace& workspace_;
    const FilespaceStore& store_;
    FaultInjector& faults_;
    EventHub& hub_;
};
