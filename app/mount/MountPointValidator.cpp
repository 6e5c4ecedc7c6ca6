#include "app/mount/MountPointValidator.h"

#include "platform/PathText.h"

#include "app/mount/MountError.h"

#include <QStringList>

namespace MountPointValidator {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QString trimmed(const QString& text, bool (*strip)(QChar)) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && strip(text[begin]))
        ++begin;
    while (end > begin && strip(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool isVolumeRoot(const QString& path) {
    static const QStringList volumeFolders{"/Volumes", "/mnt", "/media"};
    static const QStringList userVolumeFolders{"/media", "/run/media"};
    const QString parent = parentOf(path);
    return volumeFolders.contains(parent) ||
           (parent != QLatin1String("/") && userVolumeFolders.contains(parentOf(parent)));
}

} // namespace

QString cleanAbsolute(const QString& path) {
    return PathText::cleanAbsolute(path);
}

QString normalised(const QString& path) {
    const QString inner =
        trimmed(trimmed(path, isBlank), [](QChar c) { return c == QLatin1Char('/'); });
    return cleanAbsolute(inner);
}

void validate(const QString& path) {
    const QString clean = normalised(path);
    if (clean == QLatin1String("/"))
        throw MountError::mountPointIsSystemRoot();
    if (isVolumeRoot(clean))
        throw MountError::mountPointIsVolumeRoot(clean);
}

void validateBase(const QString& base) {
    const QString trimmedBase = base.trimmed();
    if (normalised(trimmedBase) == QLatin1String("/"))
        throw MountError::mountPointIsSystemRoot();
    if (!trimmedBase.startsWith(QLatin1Char('/')))
        throw MountError::mountPointNotAbsolute(trimmedBase);
}

bool isSingleFolderName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString child(const QString& base, const QString& name) {
    if (!isSingleFolderName(name))
        throw MountError::unsafeServerValue(name);
    QString folder = base;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder == QLatin1String("/") ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace MountPointValidator
