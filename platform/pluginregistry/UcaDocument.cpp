#include "platform/pluginregistry/UcaDocument.h"

#include <QXmlStreamReader>

namespace {

const QStringList kFileTypes{"directories", "audio-files", "image-files",
                             "other-files", "text-files",  "video-files"};

// One <action> as the reader passes it.
struct ActionScan {
    qsizetype begin = 0;
    QString uniqueId;
    QString command;
    bool hasFileType = false;
};

} // namespace

std::optional<UcaDocument> UcaDocument::parse(const QString& text, const QStringList& ourIds,
                                              QString* error) {
    UcaDocument document;
    document.text_ = text;
    QXmlStreamReader xml(text);
    // The reader's offsets are exact after a tag's ">" (not after text, where it has read one
    // character ahead), so a tag's start is found back from its end.
    auto tagStart = [&text](qsizetype tagEnd) {
        return text.lastIndexOf(QLatin1Char('<'), tagEnd - 1);
    };
    int depth = 0;
    bool sawRoot = false;
    ActionScan action;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        const qsizetype tokenEnd = xml.characterOffset();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            const auto name = xml.name();
            if (depth == 1) {
                if (name != QLatin1String("actions")) {
                    *error = QStringLiteral("the root element is <%1>, not <actions>")
                                 .arg(name.toString());
                    return std::nullopt;
                }
                sawRoot = true;
                document.root_ = {tagStart(tokenEnd), tokenEnd};
            } else if (depth == 2 && name == QLatin1String("action")) {
                action = {tagStart(tokenEnd), {}, {}, false};
            } else if (depth == 3 &&
                       (name == QLatin1String("unique-id") || name == QLatin1String("command"))) {
                const bool isId = name == QLatin1String("unique-id");
                const QString value = xml.readElementText().trimmed();
                (isId ? action.uniqueId : action.command) = value;
                --depth;
            } else if (depth == 3 && kFileTypes.contains(name.toString())) {
                action.hasFileType = true;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 2 && xml.name() == QLatin1String("action") &&
                ourIds.contains(action.uniqueId)) {
                document.ours_.append({action.begin, tokenEnd});
                document.commands_.insert(action.uniqueId, action.command);
                document.oursSwitchedOff_ = document.oursSwitchedOff_ || !action.hasFileType;
            } else if (depth == 1) {
                document.emptyRoot_ = tokenEnd == document.root_.end;
                document.insertAt_ = document.emptyRoot_ ? tokenEnd : tagStart(tokenEnd);
            }
            --depth;
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
        return std::nullopt;
    }
    if (!sawRoot) {
        *error = QStringLiteral("no <actions> element");
        return std::nullopt;
    }
    return document;
}

QString UcaDocument::withOurs(const QString& actions) const {
    if (emptyRoot_) {
        return text_.left(root_.begin) + QStringLiteral("<actions>\n") + actions +
               QStringLiteral("</actions>") + text_.mid(root_.end);
    }
    QString result;
    qsizetype from = 0;
    auto copyUpTo = [&](qsizetype to) {
        result += text_.mid(from, to - from);
        from = to;
    };
    for (const Range& range : ours_) {
        // The indentation before the element and the line break after it go with it.
        qsizetype begin = range.begin;
        while (begin > from && (text_.at(begin - 1) == QLatin1Char(' ') ||
                                text_.at(begin - 1) == QLatin1Char('\t')))
            --begin;
        qsizetype end = range.end;
        if (end < text_.size() && text_.at(end) == QLatin1Char('\n'))
            ++end;
        copyUpTo(std::min(begin, insertAt_));
        from = std::max(from, std::min(end, insertAt_));
    }
    copyUpTo(insertAt_);
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('\n')))
        result += QLatin1Char('\n');
    result += actions;
    result += text_.mid(insertAt_);
    return result;
}
