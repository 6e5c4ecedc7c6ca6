#include "tools/devserver/FaultRule.h"

#include <QJsonValue>

namespace {

constexpr int kMaxDelayMs = 10 * 60 * 1000;

bool readString(const QJsonObject& o, const char* key, std::string& out) {
    const QJsonValue value = o.value(QLatin1String(key));
    if (value.isUndefined())
        return true;
    if (!value.isString())
        return false;
    out = value.toString().toStdString();
    return true;
}

bool readInt(const QJsonObject& o, const char* key, int& out) {
    const QJsonValue value = o.value(QLatin1String(key));
    if (value.isUndefined())
        return true;
    if (!value.isDouble())
        return false;
    out = value.toInt();
    return true;
}

bool readInt64(const QJsonObject& o, const char* key, qint64& out) {
    const QJsonValue value = o.value(QLatin1String(key));
    if (value.isUndefined())
        return true;
    if (!value.isDouble())
        return false;
    out = value.toInteger();
    return true;
}

} // namespace

std::optional<FaultRule> FaultRule::fromJson(const QJsonObject& o, QString* error) {
    FaultRule rule;
    const bool typed = readString(o, "path", rule.path) && readString(o, "method", rule.method) &&
                       readInt(o, "status", rule.status) && readString(o, "body", rule.body) &&
                       readString(o, "content_type", rule.contentType) &&
                       readString(o, "location", rule.location) &&
                       readInt(o, "delay_ms", rule.delayMs) && readInt(o, "count", rule.count) &&
                       readInt64(o, "cut_after_bytes", rule.cutAfterBytes) &&
                       (o.value("cut").isUndefined() || o.value("cut").isBool());
    rule.cut = o.value("cut").toBool();
    if (!typed) {
        *error = "A fault field has the wrong JSON type";
    } else if (rule.path.empty() || rule.path[0] != '/') {
        *error = "A fault needs a \"path\" starting with /";
    } else if (rule.status != 0 && (rule.status < 100 || rule.status > 599)) {
        *error = "A fault \"status\" must lie between 100 and 599";
    } else if (rule.delayMs < 0 || rule.delayMs > kMaxDelayMs) {
        *error = "A fault \"delay_ms\" must lie between 0 and 600000";
    } else if (rule.cutAfterBytes < 0) {
        *error = "A fault \"cut_after_bytes\" must not be negative";
    } else if (rule.status == 0 && !rule.cut && rule.delayMs == 0 && rule.cutAfterBytes == 0) {
        *error = "A fault needs a \"status\", \"cut\", \"cut_after_bytes\" or \"delay_ms\"";
    } else {
        return rule;
    }
    return std::nullopt;
}

bool FaultRule::matches(const std::string& requestMethod, const std::string& requestPath) const {
    if (!method.empty() && method != requestMethod)
        return false;
    if (!path.empty() && path.back() == '*')
        return requestPath.compare(0, path.size() - 1, path, 0, path.size() - 1) == 0;
    return requestPath == path;
}
