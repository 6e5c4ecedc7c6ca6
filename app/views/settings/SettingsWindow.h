#pragma once

#include "app/views/settings/SettingsComponents.h"

#include <QWidget>

class SettingsView;

// The window titled "Kelvane Settings": closable only (no resizing, no minimising), always in
// the dark appearance. Closing it deletes it, and with it every unsaved change.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 480;
    static constexpr int kHeight = 580;

    explicit SettingsWindow(SettingsComponents components, QWidget* parent = nullptr);

    SettingsView& view() const { return *view_; }

private:
    SettingsView* view_;
};
