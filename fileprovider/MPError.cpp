#include "fileprovider/MPError.h"

QString MPError::description() const {
    switch (kind_) {
    case Kind::initFailed:
        return QStringLiteral("multipart init: ") + text_;
    case Kind::partFailed:
        return QStringLiteral("part %1: %2").arg(partNumber_).arg(text_);
    case Kind::completeFailed:
        return QStringLiteral("multipart complete: ") + text_;
    case Kind::readFailed:
        break;
    }
    return QStringLiteral("file read: ") + text_;
}
