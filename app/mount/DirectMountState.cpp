#include "app/mount/DirectMountState.h"

DirectMountState DirectMountState::aggregate(const QMap<QString, DirectMountState>& states) {
    const DirectMountState* firstMounted = nullptr;
    bool anyMounting = false;
    for (const DirectMountState& state : states) {
        switch (state.kind()) {
        case Kind::error:
            return state;
        case Kind::mounting:
            anyMounting = true;
            break;
        case Kind::mounted:
            if (!firstMounted)
                firstMounted = &state;
            break;
        case Kind::inactive:
            break;
        }
    }
    if (anyMounting)
        return mounting();
    return firstMounted ? *firstMounted : inactive();
}

QString kindName(DirectMountState::Kind kind) {
    switch (kind) {
    case DirectMountState::Kind::mounting:
        return QStringLiteral("mounting");
    case DirectMountState::Kind::mounted:
        return QStringLiteral("mounted");
    case DirectMountState::Kind::error:
        return QStringLiteral("error");
    case DirectMountState::Kind::inactive:
        break;
    }
    return QStringLiteral("inactive");
}

QString describe(const DirectMountState& state) {
    switch (state.kind()) {
    case DirectMountState::Kind::mounted:
        return QStringLiteral("mounted at ") + state.path();
    case DirectMountState::Kind::error:
        return QStringLiteral("error: ") + state.message();
    case DirectMountState::Kind::inactive:
    case DirectMountState::Kind::mounting:
        break;
    }
    return kindName(state.kind());
}

QJsonObject toJson(const DirectMountState& state) {
    QJsonObject o{{"state", kindName(state.kind())}};
    if (state.isMounted())
        o.insert("path", state.path());
    if (state.isError())
        o.insert("message", state.message());
    return o;
}

DirectMountState stateFromJson(const QJsonObject& object) {
    const QString kind = object.value("state").toString();
    if (kind == QLatin1String("mounting"))
        return DirectMountState::mounting();
    if (kind == QLatin1String("mounted"))
        return DirectMountState::mounted(object.value("path").toString());
    if (kind == QLatin1String("error"))
        return DirectMountState::error(object.value("message").toString());
    return DirectMountState::inactive();
}
