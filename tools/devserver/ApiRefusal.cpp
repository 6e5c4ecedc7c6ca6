#include "tools/devserver/ApiRefusal.h"

void ApiRefusal::send(httplib::Response& response) const {
    response.status = status_;
    response.set_content(what_, "text/plain; charset=utf-8");
}
