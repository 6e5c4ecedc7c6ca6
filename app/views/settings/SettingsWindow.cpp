#include "app/views/settings/SettingsWindow.h"

#include "app/views/common/Appearance.h"
#include "app/views/settings/SettingsView.h"

#include <QVBoxLayout>

SettingsWindow::SettingsWindow(SettingsComponents components, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("SettingsWindow"));
    setWindowTitle(QStringLiteral("Kelvane Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setPalette(Appearance::darkPalette());
    setAutoFillBackground(true);
    setFixedSize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new SettingsView(std::move(components), this);
    layout->addWidget(view_);
}
