#pragma once

#include <QWidget>

class MountManager;
class QLabel;
class QVBoxLayout;

// One card per filespace with its drive's state, live while the window is open.
class DrivesTab : public QWidget {
    Q_OBJECT
public:
    DrivesTab(MountManager& mountManager, QWidget* parent = nullptr);

    void setMountPoint(const QString& mountPoint);
    void refresh();

private:
    MountManager& mountManager_;
    QLabel* line_;
    QWidget* list_;
    QVBoxLayout* listLayout_;
};
