// `kelvane:` links come from any web page or program on the desktop. The parser must take any
// text without crashing, take no other scheme, and leave text without escapes as it is (a ".."
// that reaches the path is refused where the path is resolved against a drive).
#include "app/shell/KelvaneLink.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(FuzzInput::bytes(data, size));
    const auto path = KelvaneLink::workspacePath(text);
    FuzzInput::require(!path || text.startsWith(QStringLiteral("kelvane:")),
                       "only the kelvane scheme is taken");
    if (!text.contains(QLatin1Char('%')))
        FuzzInput::require(KelvaneLink::removingPercentEncoding(text) == text,
                           "text without escapes decodes to itself");
    return 0;
}
