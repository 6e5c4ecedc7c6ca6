#include "fileprovider/ExtensionErrors.h"

#include "fileprovider/KelvaneAPIError.h"
#include "fileprovider/LocalFileError.h"
#include "fileprovider/MPError.h"
#include "platform/fileprovider/FileProviderError.h"

namespace ExtensionErrors {

std::optional<HostErrorInfo> describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const KelvaneAPIError& e) {
        return HostErrorInfo{QStringLiteral("KelvaneAPI.APIError"), qint64(e.kind()),
                             e.description()};
    } catch (const MPError& e) {
        return HostErrorInfo{QStringLiteral("MultipartUploader.MPError"), qint64(e.kind()),
                             e.description()};
    } catch (const LocalFileError& e) {
        return HostErrorInfo{QStringLiteral("NSCocoaErrorDomain"), 0, e.description()};
    } catch (const FileProviderError&) {
        return std::nullopt; // the host knows the framework's own errors
    } catch (const TransportError& e) {
        return HostErrorInfo{QStringLiteral("QNetworkReply"), e.code(), e.description()};
    } catch (const KelvaneError& e) {
        return HostErrorInfo{QStringLiteral("Kelvane"), 0, e.description()};
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace ExtensionErrors
