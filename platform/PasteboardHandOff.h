#pragma once

#include "platform/TextPasteboard.h"

#include <chrono>

// What a program puts on the X11 clipboard goes when the program exits, and the extension's
// host ends with its command. So the text is handed to the running Kelvane ("copyToClipboard"
// on its instance channel), which owns the clipboard while it runs; when it does not take it,
// to kelvane-clipboard (text on standard input), which keeps serving it until another
// program takes the clipboard.
class PasteboardHandOff : public TextPasteboard {
public:
    static inline const QString kCommand = QStringLiteral("copyToClipboard");

    struct Options {
        QString instanceSocket;
        QString keeper;
        std::chrono::milliseconds instanceLimit{3000};
        std::chrono::milliseconds keeperLimit{15000};
    };

    // The running instance and this installation's keeper.
    PasteboardHandOff();
    explicit PasteboardHandOff(Options options) : options_(std::move(options)) {}

    QCoro::Task<> setString(QString text) override;
    std::optional<QString> string() const override { return last_; }

private:
    // Why the instance did not take the text; empty when it did.
    QCoro::Task<QString> handToInstance(const QString& text);
    // Why the keeper did not take the text; empty when it did.
    QCoro::Task<QString> handToKeeper(const QString& text);

    Options options_;
    std::optional<QString> last_;
};
