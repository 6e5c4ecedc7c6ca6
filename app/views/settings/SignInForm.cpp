#include "app/views/settings/SignInForm.h"

#include "app/views/common/Chrome.h"
#include "app/views/common/ToneLabel.h"
#include "app/views/settings/SettingsModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* field(QVBoxLayout* layout, const QString& title, const QString& placeholder,
                 QWidget* parent) {
    auto* label = new QLabel(title, parent);
    layout->addWidget(label);
    auto* edit = new QLineEdit(parent);
    edit->setPlaceholderText(placeholder);
    edit->setMinimumHeight(28);
    label->setBuddy(edit);
    layout->addWidget(edit);
    layout->addSpacing(6);
    return edit;
}

} // namespace

SignInForm::SignInForm(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 12, 28, 12);
    layout->setSpacing(4);
    apiURL_ = field(layout, "Workspace API", "https://files.example.com/api", this);
    apiURL_->setObjectName(QStringLiteral("apiURLField"));
    email_ = field(layout, "Email", "you@example.com", this);
    email_->setObjectName(QStringLiteral("emailField"));
    password_ = field(layout, "Password", "••••••••", this);
    password_->setObjectName(QStringLiteral("passwordField"));
    password_->setEchoMode(QLineEdit::Password);

    signIn_ = new QPushButton(SettingsModel::signInButtonTitle(false), this);
    signIn_->setObjectName(QStringLiteral("signInButton"));
    Chrome::primaryButton(*signIn_);
    signIn_->setMinimumHeight(30);
    layout->addSpacing(4);
    layout->addWidget(signIn_);

    error_ = new ToneLabel(ViewColor::red, this);
    error_->setObjectName(QStringLiteral("loginError"));
    error_->setWordWrap(true);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error_->hide();
    layout->addSpacing(6);
    layout->addWidget(error_);
    layout->addStretch(1);

    connect(signIn_, &QPushButton::clicked, this, &SignInForm::signInRequested);
    for (QLineEdit* edit : {apiURL_, email_, password_})
        connect(edit, &QLineEdit::returnPressed, this, &SignInForm::signInRequested);
}

void SignInForm::setLoading(bool loading) {
    signIn_->setText(SettingsModel::signInButtonTitle(loading));
    signIn_->setEnabled(!loading);
    for (QLineEdit* edit : {apiURL_, email_, password_})
        edit->setReadOnly(loading);
}

void SignInForm::setError(const QString& error) {
    error_->setText(error);
    error_->setVisible(!error.isEmpty());
}

QString SignInForm::error() const {
    return error_->text();
}
