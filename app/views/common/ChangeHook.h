#pragma once

#include <QObject>
#include <functional>

// Connects a component's change signal to a handler for as long as the context object lives,
// for views built before they know the component's type.
using ChangeHook = std::function<void(QObject* context, std::function<void()> handler)>;
