#pragma once

#include <QJsonObject>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <string>

// One injected failure: which requests it hits and what they get instead of the real answer.
struct FaultRule {
    std::string path;   // exact request path, or a prefix when it ends with "*"
    std::string method; // empty: every method
    int status = 0;     // 0: no answer of its own (a delay-only rule lets the request through)
    std::string body;
    std::string contentType = "application/json";
    std::string location; // sent as the Location header (for redirects)
    int delayMs = 0;
    bool cut = false; // close the connection without any answer
    // Lets the answer through but closes the connection once this many body bytes have gone
    // out (streamed object downloads); 0: no limit.
    qint64 cutAfterBytes = 0;
    int count = 1; // 0 or less: until the faults are cleared

    // The rule a JSON object describes; nothing (and the reason) when it is malformed.
    static std::optional<FaultRule> fromJson(const QJsonObject& object, QString* error);

    bool matches(const std::string& requestMethod, const std::string& requestPath) const;
};
