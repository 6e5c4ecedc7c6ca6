#include "app/views/settings/SettingsView.h"

#include "app/api/APIClient.h"
#include "app/views/common/Chrome.h"
#include "app/views/common/ToneLabel.h"
#include "app/views/common/ViewColors.h"
#include "app/views/settings/AccountTab.h"
#include "app/views/settings/AdvancedTab.h"
#include "app/views/settings/DrivesTab.h"
#include "app/views/settings/SettingsModel.h"
#include "app/views/settings/SignInForm.h"
#include "shared/KelvaneError.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

SettingsView::SettingsView(SettingsComponents components, QWidget* parent)
    : QWidget(parent), c_(std::move(components)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    pages_ = new QStackedWidget(this);
    signIn_ = new SignInForm(pages_);
    pages_->addWidget(signIn_);
    pages_->addWidget(buildTabs());
    layout->addWidget(pages_, 1);

    signIn_->apiURL()->setText(c_.settings.apiURL);
    connect(signIn_->apiURL(), &QLineEdit::textChanged, this,
            [this](const QString& text) { c_.settings.apiURL = text; });
    connect(signIn_, &SignInForm::signInRequested, this, [this] {
        if (!loginLoading_)
            handleLogin();
    });
    connect(&c_.apiClient, &APIClient::currentUserChanged, this, &SettingsView::refreshAccount);
    connect(&c_.apiClient, &APIClient::tokenStateChanged, this, &SettingsView::refreshAccount);
    refreshAccount();
}

QWidget* SettingsView::buildHeader() {
    auto* header = new QWidget(this);
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(28, 22, 28, 14);
    layout->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("Kelvane"), header);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.7);
    title->setFont(big);
    layout->addWidget(title);
    subtitle_ = new ToneLabel(ViewColor::secondary, header);
    subtitle_->setObjectName(QStringLiteral("headerSubtitle"));
    layout->addWidget(subtitle_);
    return header;
}

QWidget* SettingsView::buildTabs() {
    auto* page = new QWidget(pages_);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabBar_ = new QTabBar(page);
    tabBar_->setObjectName(QStringLiteral("tabs"));
    Chrome::segmentedTabs(*tabBar_, palette());
    auto* barRow = new QHBoxLayout;
    barRow->setContentsMargins(0, 0, 0, 6);
    barRow->addStretch(1);
    barRow->addWidget(tabBar_);
    barRow->addStretch(1);
    layout->addLayout(barRow);
    auto* line = new QFrame(page);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette linePalette = line->palette();
    linePalette.setColor(QPalette::Window, ViewColors::separator(palette()));
    line->setPalette(linePalette);
    layout->addWidget(line);
    tabPages_ = new QStackedWidget(page);
    layout->addWidget(tabPages_, 1);

    drives_ = new DrivesTab(c_.mountManager, tabPages_);
    account_ = new AccountTab(tabPages_);
    advanced_ = new AdvancedTab(c_, c_.settings, tabPages_);
    const QList<SettingsModel::Tab> tabs = SettingsModel::tabs();
    QWidget* pages[] = {drives_, account_, advanced_};
    for (qsizetype i = 0; i < tabs.size(); ++i) {
        pages[i]->setObjectName(tabs[i].id);
        tabPages_->addWidget(pages[i]);
        tabBar_->addTab(tabs[i].title);
    }
    connect(tabBar_, &QTabBar::currentChanged, tabPages_, &QStackedWidget::setCurrentIndex);
    drives_->setMountPoint(c_.settings.mountPoint);
    connect(advanced_, &AdvancedTab::mountPointChanged, drives_, &DrivesTab::setMountPoint);
    connect(advanced_, &AdvancedTab::saveRequested, this, &SettingsView::save);
    connect(account_, &AccountTab::signOutRequested, this, [this] { signOut(); });
    return page;
}

QString SettingsView::selectedTab() const {
    return tabPages_->currentWidget() ? tabPages_->currentWidget()->objectName() : QString();
}

void SettingsView::selectTab(const QString& id) {
    for (int i = 0; i < tabPages_->count(); ++i) {
        if (tabPages_->widget(i)->objectName() == id)
            tabBar_->setCurrentIndex(i);
    }
}

void SettingsView::refreshAccount() {
    signedIn_ = c_.apiClient.isLoggedIn();
    // Before the session is restored the client may not know its server yet; the settings do.
    const auto known = c_.apiClient.baseURL() ? c_.apiClient.baseURL()
                                              : APIClient::parseServerURL(c_.settings.apiURL);
    subtitle_->setText(SettingsModel::headerSubtitle(
        signedIn_, SettingsModel::workspaceName(c_.apiClient.currentUser(), known)));
    pages_->setCurrentIndex(signedIn_ ? 1 : 0);
    QString server = c_.settings.apiURL;
    if (server.isEmpty() && c_.apiClient.baseURL())
        server = c_.apiClient.baseURL()->toString();
    account_->setServer(server);
}

void SettingsView::setLoginError(const QString& error) {
    loginError_ = error;
    signIn_->setError(error);
}

QCoro::Task<> SettingsView::handleLogin() {
    QPointer<SettingsView> self(this);
    setLoginError({});
    loginLoading_ = true;
    signIn_->setLoading(true);
    const QString apiURL = c_.settings.apiURL.trimmed();
    const QString email = signIn_->email()->text().trimmed();
    const QString password = signIn_->password()->text();
    std::optional<QString> failure;
    try {
        co_await c_.apiClient.login(apiURL, email, password);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (!self)
        co_return;
    if (failure) {
        setLoginError(SettingsModel::loginErrorText(*failure));
    } else {
        // The address is kept as it was signed in with, as the command line does.
        c_.settings.apiURL = apiURL;
        signIn_->password()->clear();
        if (c_.onDidLogin)
            c_.onDidLogin();
        if (self && c_.onSettingsSaved)
            c_.onSettingsSaved(c_.settings);
    }
    if (!self)
        co_return;
    loginLoading_ = false;
    signIn_->setLoading(false);
    refreshAccount();
    emit loginFinished();
}

QCoro::Task<> SettingsView::signOut() {
    QPointer<SettingsView> self(this);
    std::optional<QString> problem;
    try {
        if (c_.onSignOut)
            co_await c_.onSignOut();
        else
            co_await c_.apiClient.logout();
    } catch (const std::exception& error) {
        problem = describeError(error);
    }
    if (!self)
        co_return;
    refreshAccount();
    // The session has ended either way; what could not be removed is said where it is seen.
    signIn_->setError(problem.value_or(QString()));
    emit signOutFinished();
}

void SettingsView::save() {
    if (c_.onSettingsSaved)
        c_.onSettingsSaved(c_.settings);
}
