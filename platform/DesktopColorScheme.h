#pragma once

#include <QObject>
#include <optional>

// The desktop's light or dark preference, as the XDG desktop portal publishes it
// (org.freedesktop.appearance color-scheme). Asked once without blocking and followed while
// the object lives; nothing is known until the portal answers, or ever where none runs.
class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    explicit DesktopColorScheme(QObject* parent = nullptr);

    // True for dark, false for light, nothing when the desktop states no preference.
    std::optional<bool> prefersDark() const { return prefersDark_; }

    // The portal's value: 1 prefers dark, 2 prefers light, anything else no preference.
    static std::optional<bool> fromPortalValue(uint value);

signals:
    void changed();

private:
    friend class PortalSettingsListener;
    void apply(std::optional<bool> prefersDark);

    std::optional<bool> prefersDark_;
};
