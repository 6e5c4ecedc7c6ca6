#pragma once

#include "app/views/common/Prompts.h"

#include <QList>
#include <QStringList>

// Answers the folder chooser with prepared folders and records every question.
class FakePrompts : public Prompts {
public:
    QList<std::optional<QString>> folders;
    QList<FolderRequest> requests;
    QStringList warnings;

    void warn(const QString& message, const QString& informative) override {
        warnings << message + " | " + informative;
    }
    std::optional<QString> chooseFolder(const FolderRequest& request) override {
        requests << request;
        return folders.isEmpty() ? std::nullopt : folders.takeFirst();
    }
};
