#include "app/update/UpdateError.h"

QString UpdateError::description() const {
    switch (kind_) {
    case Kind::notWritable:
        return "Can't write to " + path_ + " — move Kelvane to your home folder and try again.";
    case Kind::noFeed:
        return QStringLiteral("Sign in first — updates come from your workspace's server.");
    case Kind::badResponse:
        return QStringLiteral("Couldn't reach the update server.");
    case Kind::untrustedURL:
        return QStringLiteral("The update server offered a download from somewhere else.");
    case Kind::badDMG:
        return QStringLiteral("The downloaded installer wasn't readable.");
    case Kind::notNotarized:
        return QStringLiteral("The downloaded update isn't notarized by Kelvane.");
    case Kind::badSignature:
        return QStringLiteral("The downloaded update's signature didn't verify.");
    case Kind::wrongTeam:
        return QStringLiteral("The downloaded update is signed by a different developer.");
    case Kind::unsafePath:
        return "Can't update Kelvane at " + path_ +
               " — the path holds \", $, ` or \\, which the installer can't use. Move Kelvane "
               "to another folder and try again.";
    }
    return {};
}
