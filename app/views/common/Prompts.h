#pragma once

#include <QString>
#include <optional>

// A folder chooser's texts and where it starts.
struct FolderRequest {
    QString prompt;
    QString message;
    QString startIn;
    bool operator==(const FolderRequest&) const = default;
};

// The modal questions the windows ask: warnings and the folder chooser. The desktop's are
// QtPrompts; tests answer with a fake.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void warn(const QString& message, const QString& informative) = 0;
    // One folder (folders only; new folders may be made); nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const FolderRequest& request) = 0;
};
