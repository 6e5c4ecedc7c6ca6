#pragma once

#include <QWidget>

class QLabel;

// The server signed in to, the connection, and "Sign Out".
class AccountTab : public QWidget {
    Q_OBJECT
public:
    explicit AccountTab(QWidget* parent = nullptr);

    void setServer(const QString& address);

signals:
    void signOutRequested();

private:
    QLabel* server_;
};
