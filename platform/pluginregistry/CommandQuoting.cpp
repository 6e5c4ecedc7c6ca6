#include "platform/pluginregistry/CommandQuoting.h"

namespace CommandQuoting {

QString shellWord(const QString& word) {
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString desktopExecWord(const QString& word) {
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = word.isEmpty();
    for (const QChar c : word)
        needsQuotes = needsQuotes || kReserved.contains(c);
    QString exec = word;
    exec.replace(QLatin1Char('%'), QLatin1String("%%"));
    if (needsQuotes) {
        QString inner;
        for (const QChar c : exec) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                inner += QLatin1Char('\\');
            inner += c;
        }
        exec = QLatin1Char('"') + inner + QLatin1Char('"');
    }
    return keyFileValue(exec);
}

QString keyFileValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QLatin1String("\\t");
        else
            escaped += c;
    }
    return escaped;
}

QString envSplitWord(const QString& word) {
    QString quoted;
    for (const QChar c : word) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('\''))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString shebangRunning(const QString& program, const QString& words) {
    return QStringLiteral("#!/usr/bin/env -S %1 %2\n").arg(envSplitWord(program), words);
}

} // namespace CommandQuoting
