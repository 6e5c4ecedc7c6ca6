#pragma once

#include "app/views/common/Prompts.h"

#include <QPointer>
#include <QWidget>

// Warnings as message boxes and the folder chooser as a file dialog, over a parent window.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void warn(const QString& message, const QString& informative) override;
    std::optional<QString> chooseFolder(const FolderRequest& request) override;

private:
    QPointer<QWidget> parent_;
};
