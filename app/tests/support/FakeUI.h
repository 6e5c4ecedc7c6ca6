#pragma once

#include "app/shell/AppUI.h"

#include <QList>
#include <QStringList>

// The desktop for tests: records every alert and folder chooser shown and keeps their answer
// callbacks, so a test answers as the user would, when it wants.
class FakeUI : public AppUI {
public:
    void setupStatusItem() override { calls << "setupStatusItem"; }
    void setupPopover() override { calls << "setupPopover"; }
    void applyAppearance(AppearanceMode) override { calls << "applyAppearance"; }
    void observeSystemTheme() override {}
    void updateStatusIcon() override {}
    void openSettingsWindow() override { calls << "openSettingsWindow"; }
    void closeSettingsWindow() override { calls << "closeSettingsWindow"; }
    void showAlert(const Alert& alert, AlertAnswer answered) override {
        alerts << alert;
        alertAnswers << std::move(answered);
    }
    void chooseFolder(const FolderPanel& panel, FolderAnswer chosen) override {
        panels << panel;
        panelAnswers << std::move(chosen);
    }
    void activateApplication() override { calls << "activateApplication"; }
    void closePopover() override { calls << "closePopover"; }

    // Answers the latest alert with the button of this title.
    void answer(const QString& button) {
        const int index = int(alerts.last().buttonTitles().indexOf(button));
        alertAnswers.last()(index);
    }

    QList<Alert> alerts;
    QList<AlertAnswer> alertAnswers;
    QList<FolderPanel> panels;
    QList<FolderAnswer> panelAnswers;
    QStringList calls;
};
