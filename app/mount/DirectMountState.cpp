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

QString toString(const DirectMountState& state) {
    switch (state.kind()) {
    case DirectMountState::Kind::inactive:
        return QStringLiteral("inactive");
    case DirectMountState::Kind::mounting:
        return QStringLiteral("mounting");
    case DirectMountState::Kind::mounted:
        return QStringLiteral("mounted(%1)").arg(state.path());
    case DirectMountState::Kind::error:
        return QStringLiteral("error(%1)").arg(state.message());
    }
    return {};
}
