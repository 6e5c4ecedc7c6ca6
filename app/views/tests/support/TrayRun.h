#pragma once

#include "app/shell/InstanceChannel.h"
#include "app/tests/support/HeadlessKelvane.h"
#include "app/views/tests/support/Screenshots.h"

#include <QCoreApplication>
#include <QImage>
#include <QJsonObject>
#include <QtConcurrent>

// The real `kelvane` tray on a test display, and what the tests ask of it.
class TrayRun : public HeadlessKelvane {
public:
    TrayRun(const QString& home, const QString& display, const QString& busAddress)
        : HeadlessKelvane(home) {
        setEnvironment("DISPLAY", display);
        setEnvironment("QT_QPA_PLATFORM", "xcb");
        setEnvironment("DBUS_SESSION_BUS_ADDRESS", busAddress);
        setEnvironment("QT_LOGGING_RULES", "com.30814qv.kelvane.tray=true");
        // This process asks the instance, so it must find the same socket.
        qputenv("XDG_RUNTIME_DIR", (home + "/run").toUtf8());
        display_ = display;
    }
    void startTray() { startProgram({}); }

    // The instance's "tray" answer: backend, spinning, popoverVisible, iconGeometry, …
    QJsonObject tray() const { return ask({{"command", "tray"}}).value_or(QJsonObject()); }

    // Asks from a worker: the blocking ask must not stall this thread's D-Bus peers.
    static std::optional<QJsonObject> ask(const QJsonObject& request) {
        QFuture<std::optional<QJsonObject>> f =
            QtConcurrent::run([request] { return InstanceChannel::ask(request, 5'000); });
        while (!f.isFinished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return f.result();
    }

    // The display (or a part of it, enlarged) saved under the screenshots folder.
    QImage screenshot(const QString& name, const QRect& part = {}, int scale = 1) const {
        QStringList args{Screenshots::path(name)};
        if (part.isValid())
            args << QString::number(part.x()) << QString::number(part.y())
                 << QString::number(part.width()) << QString::number(part.height())
                 << QString::number(scale);
        QProcess grab;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        grab.setProcessEnvironment(env);
        grab.start(KELVANE_SCREENGRAB_PATH, args);
        if (!grab.waitForFinished(15'000) || grab.exitCode() != 0)
            return {};
        return QImage(Screenshots::path(name));
    }

private:
    QString display_;
};
