#pragma once

#include <QString>
#include <QTemporaryDir>

// Points HOME at a fresh temporary folder for the life of the object, so nothing a test does
// reaches the real user's files.
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const { return dir_.filePath(relative); }

private:
    QTemporaryDir dir_;
    QByteArray previousHome_;
};
