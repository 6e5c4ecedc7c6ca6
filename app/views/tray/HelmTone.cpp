#include "app/views/tray/HelmTone.h"

HelmTone helmTone(const HelmInputs& inputs) {
    if (!inputs.signedIn)
        return HelmTone::label;
    if (inputs.mode == StorageMode::fileprovider) {
        switch (inputs.fileProvider.kind()) {
        case FileProviderStatus::Kind::registered:
            return HelmTone::label;
        case FileProviderStatus::Kind::unregistered:
        case FileProviderStatus::Kind::registering:
            return HelmTone::orange;
        case FileProviderStatus::Kind::failed:
            return HelmTone::red;
        }
    }
    switch (inputs.directMount.kind()) {
    case DirectMountState::Kind::mounted:
        return HelmTone::label;
    case DirectMountState::Kind::error:
        return HelmTone::red;
    case DirectMountState::Kind::inactive:
    case DirectMountState::Kind::mounting:
        return HelmTone::orange;
    }
    return HelmTone::label;
}

QColor helmColor(HelmTone tone, const QPalette& palette) {
    switch (tone) {
    case HelmTone::label:
        return palette.color(QPalette::Active, QPalette::WindowText);
    case HelmTone::orange:
        return HelmColors::kOrange;
    case HelmTone::red:
        return HelmColors::kRed;
    }
    return palette.color(QPalette::WindowText);
}
