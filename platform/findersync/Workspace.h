#pragma once

#include <QString>

// Opening web addresses in the user's default browser.
class Workspace {
public:
    virtual ~Workspace() = default;
    // False, with the reason in *error, when no browser could be asked to open it.
    virtual bool openURL(const QString& url, QString* error) = 0;
};
