#pragma once

#include "app/views/settings/SettingsComponents.h"

#include <QCoroTask>
#include <QWidget>

class AccountTab;
class AdvancedTab;
class DrivesTab;
class QStackedWidget;
class QTabBar;
class SignInForm;
class ToneLabel;

// The settings window's content. Signed out it shows the sign-in form; signed in, the drives,
// account and advanced tabs. It edits a private copy of the settings and hands it back only
// through the save callback; everything else goes through the components it observes.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(SettingsComponents components, QWidget* parent = nullptr);

    const AppSettings& settings() const { return c_.settings; }
    bool isSignedIn() const { return signedIn_; }
    bool isLoginLoading() const { return loginLoading_; }
    QString loginError() const { return loginError_; }
    // "drives", "account" or "advanced".
    QString selectedTab() const;
    void selectTab(const QString& id);

    SignInForm* signInForm() const { return signIn_; }
    AdvancedTab* advancedTab() const { return advanced_; }

signals:
    // A sign-in attempt has ended, either way.
    void loginFinished();
    void signOutFinished();

private:
    QWidget* buildHeader();
    QWidget* buildTabs();
    void refreshAccount();
    QCoro::Task<> handleLogin();
    QCoro::Task<> signOut();
    void setLoginError(const QString& error);
    void save();

    SettingsComponents c_;
    bool signedIn_ = false;
    bool loginLoading_ = false;
    QString loginError_;

    ToneLabel* subtitle_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    SignInForm* signIn_ = nullptr;
    QTabBar* tabBar_ = nullptr;
    QStackedWidget* tabPages_ = nullptr;
    DrivesTab* drives_ = nullptr;
    AccountTab* account_ = nullptr;
    AdvancedTab* advanced_ = nullptr;
};
