#include "platform/SchemeHandler.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <QFile>
#include <QRegularExpression>

namespace SchemeHandler {

namespace {

// The desktop-entry rules for one Exec argument: quoted when it holds anything but plain path
// characters, with ", `, $ and \ escaped inside the quotes, then \ escaped again for the
// string value, and % doubled.
QString execArgument(const QString& program) {
    QString arg = program;
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+%-]+$"));
    if (plain.match(arg).hasMatch())
        return arg;
    QString quoted;
    for (const QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool writeIfChanged(const QString& path, const QString& text) {
    if (readText(path) == text)
        return true;
    return AtomicFile::write(path, text.toUtf8());
}

} // namespace

QString desktopEntry(const QString& program) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kelvane\n"
                          "Comment=Your team's files as drives\n"
                          "Exec=%1 %u\n"
                          "Terminal=false\n"
                          "Categories=Network;FileTransfer;\n"
                          "MimeType=%2;\n")
        .arg(execArgument(program), kMimeType);
}

QString withDefaultHandler(const QString& mimeApps) {
    const QString line = kMimeType + QLatin1Char('=') + kEntryName;
    QStringList lines = mimeApps.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    qsizetype section = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() == QLatin1String("[Default Applications]")) {
            section = i;
            break;
        }
    }
    if (section < 0) {
        if (!lines.isEmpty())
            lines << QString();
        lines << QStringLiteral("[Default Applications]") << line;
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    qsizetype end = section + 1;
    while (end < lines.size() && !lines[end].trimmed().startsWith(QLatin1Char('[')))
        ++end;
    for (qsizetype i = section + 1; i < end; ++i) {
        if (lines[i].section(QLatin1Char('='), 0, 0).trimmed() == kMimeType) {
            lines[i] = line;
            return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
        }
    }
    lines.insert(section + 1, line);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool install(const QString& program) {
    const bool entry = writeIfChanged(Paths::schemeHandlerEntry(), desktopEntry(program));
    const bool defaults =
        writeIfChanged(Paths::mimeAppsList(), withDefaultHandler(readText(Paths::mimeAppsList())));
    return entry && defaults;
}

} // namespace SchemeHandler
