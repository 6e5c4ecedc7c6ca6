#include "app/shell/AppUI.h"

#include "shared/ConsoleLine.h"

#include <QTimer>

void HeadlessUI::showAlert(const Alert& alert, AlertAnswer answered) {
    ConsoleLine::app(alert.informativeText.isEmpty()
                         ? alert.message
                         : alert.message + QStringLiteral(": ") + alert.informativeText);
    QTimer::singleShot(0, [answered = std::move(answered)] { answered(kDismissed); });
}

void HeadlessUI::chooseFolder(const FolderPanel&, FolderAnswer chosen) {
    QTimer::singleShot(0, [chosen = std::move(chosen)] { chosen(std::nullopt); });
}
