#pragma once

#include "app/settings/AppSettings.h"
#include "app/views/common/ComponentStates.h"
#include "app/views/settings/SettingsComponents.h"

#include <QCoroTask>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;
class ToneLabel;

// The drive, cache, login, update, file-manager and diagnostics settings. It edits the
// window's copy of the settings; "Save" hands the copy on.
class AdvancedTab : public QWidget {
    Q_OBJECT
public:
    AdvancedTab(SettingsComponents& components, AppSettings& settings, QWidget* parent = nullptr);

    FinderExtensionState finderState() const { return finderState_; }
    void refreshUpdateState();

signals:
    void saveRequested();
    void mountPointChanged(const QString& mountPoint);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* fuseCard();
    QWidget* folderRow(const QString& title, QLabel*& path, const char* objectName);
    QWidget* cacheSize();
    QWidget* launchAtLogin();
    QWidget* updates();
    QWidget* fileManagerMenu();
    QWidget* diagnostics();

    void chooseMountPoint();
    void chooseCacheDirectory();
    void showFinderState(FinderExtensionState state);
    QCoro::Task<> refreshFinderState();
    QCoro::Task<> enableFinderExtension();
    QCoro::Task<> exportDiagnostics();

    SettingsComponents& c_;
    AppSettings& settings_;
    FinderExtensionState finderState_;

    QLabel* mountPath_ = nullptr;
    QLabel* cachePath_ = nullptr;
    QLabel* cacheLabel_ = nullptr;
    QSlider* cacheSlider_ = nullptr;
    ToneLabel* loginProblem_ = nullptr;
    QPushButton* checkNow_ = nullptr;
    ToneLabel* updateStatus_ = nullptr;
    QLabel* finderStateLabel_ = nullptr;
    QPushButton* finderButton_ = nullptr;
    ToneLabel* finderNote_ = nullptr;
    QPushButton* export_ = nullptr;
};
