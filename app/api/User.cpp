#include "app/api/User.h"

#include "shared/JsonReader.h"

User User::fromJson(const QJsonObject& o) {
    const JsonReader r(o, QStringLiteral("user"));
    return User{r.string("id"), r.string("email"), r.string("name"), r.string("role")};
}

QJsonObject User::toJson() const {
    return {{"id", id}, {"email", email}, {"name", name}, {"role", role}};
}
