#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;
class ToneLabel;

// The sign-in fields, the button and the error line; the settings view does the signing in.
class SignInForm : public QWidget {
    Q_OBJECT
public:
    explicit SignInForm(QWidget* parent = nullptr);

    QLineEdit* apiURL() const { return apiURL_; }
    QLineEdit* email() const { return email_; }
    QLineEdit* password() const { return password_; }
    QPushButton* signInButton() const { return signIn_; }

    void setLoading(bool loading);
    void setError(const QString& error);
    QString error() const;

signals:
    void signInRequested();

private:
    QLineEdit* apiURL_;
    QLineEdit* email_;
    QLineEdit* password_;
    QPushButton* signIn_;
    ToneLabel* error_;
};
