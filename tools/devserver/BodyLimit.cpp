#include "tools/devserver/BodyLimit.h"

#include "tools/devserver/HttpJson.h"

namespace BodyLimit {

bool refuse(const httplib::Request& request, httplib::Response& response) {
    if (request.path.rfind("/objects/", 0) == 0 || !request.has_header("Content-Length"))
        return false;
    const auto length = request.get_header_value<uint64_t>("Content-Length");
    if (length <= kBufferedBytes)
        return false;
    HttpJson::sendError(response, 413, "Payload too large");
    return true;
}

} // namespace BodyLimit
