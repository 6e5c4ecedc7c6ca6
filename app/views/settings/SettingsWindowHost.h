#pragma once

#include "app/views/settings/SettingsComponents.h"

#include <QObject>
#include <QPointer>
#include <functional>

class SettingsWindow;

// Opens the one settings window, brings it to the front when it is already open, and closes
// it. Each opening builds a fresh window over fresh components (a fresh copy of the settings).
class SettingsWindowHost : public QObject {
    Q_OBJECT
public:
    explicit SettingsWindowHost(std::function<SettingsComponents()> components,
                                QObject* parent = nullptr);
    ~SettingsWindowHost() override;

    void open();
    void close();
    // The window while one exists.
    SettingsWindow* window() const { return window_; }

signals:
    void opened(SettingsWindow* window);

private:
    std::function<SettingsComponents()> components_;
    QPointer<SettingsWindow> window_;
};
