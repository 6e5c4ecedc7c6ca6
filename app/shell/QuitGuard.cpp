#include "app/shell/QuitGuard.h"

#include "app/shell/ByteCountText.h"

namespace QuitGuard {

QString pendingText(qint64 backlogBytes, qint64 blocks) {
    if (backlogBytes >= 1)
        return ByteCountText::fileStyle(backlogBytes);
    return QString::number(blocks) + QStringLiteral(" block") +
           (blocks == 1 ? QString() : QStringLiteral("s"));
}

std::optional<Alert> alertFor(qint64 backlogBytes, qint64 blocks) {
    if (blocks <= 0 && backlogBytes <= 0)
        return std::nullopt;
    Alert alert;
    alert.style = Alert::Style::warning;
    alert.message = QStringLiteral("Kelvane is still uploading");
    alert.informativeText =
        pendingText(backlogBytes, blocks) +
        QStringLiteral(" hasn't reached the cloud yet. It's saved on this computer and will finish "
                       "uploading next time Kelvane runs — but until then it exists only here.");
    alert.buttons = {kWait, kQuitAnyway};
    alert.cancelButton = 0;
    return alert;
}

} // namespace QuitGuard
