#pragma once

#include "app/fileprovider-domain/FileProviderStatus.h"
#include "app/mount/DirectMountState.h"
#include "app/settings/AppSettings.h"

#include <QColor>
#include <QPalette>

// The helm's colour says how the storage mode is doing: the text colour when all is well (or
// nobody is signed in), orange while it is coming up, red when it failed.
enum class HelmTone { label, orange, red };

struct HelmInputs {
    bool signedIn = false;
    StorageMode mode = StorageMode::directMount;
    FileProviderStatus fileProvider;
    DirectMountState directMount;
};

HelmTone helmTone(const HelmInputs& inputs);
// The label tone is the palette's window text, so it follows light and dark themes.
QColor helmColor(HelmTone tone, const QPalette& palette);

namespace HelmColors {
inline const QColor kOrange = QColor(0xFF, 0x95, 0x00);
inline const QColor kRed = QColor(0xFF, 0x3B, 0x30);
inline const QColor kBlue = QColor(0x00, 0x7A, 0xFF);
} // namespace HelmColors
