#include "app/views/settings/AdvancedTab.h"

#include "app/mount/MountManager.h"
#include "app/views/common/Chrome.h"
#include "app/views/common/Prompts.h"
#include "app/views/common/SymbolIcon.h"
#include "app/views/common/ToneLabel.h"
#include "app/views/settings/SettingsModel.h"
#include "app/views/settings/SettingsWidgets.h"
#include "platform/FileViewer.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

namespace {

// A section: its heading (when it has one) over a card; returns the card's layout.
QVBoxLayout* section(QWidget* owner, const QString& title) {
    auto* outer = new QVBoxLayout(owner);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(6);
    if (!title.isEmpty())
        outer->addWidget(SettingsWidgets::heading(title, owner));
    auto* card = new CardFrame(owner);
    outer->addWidget(card);
    auto* inner = new QVBoxLayout(card);
    inner->setContentsMargins(12, 10, 12, 10);
    inner->setSpacing(8);
    return inner;
}

ToneLabel* wrapped(ViewColor tone, QWidget* parent) {
    auto* label = new ToneLabel(tone, parent);
    label->setWordWrap(true);
    return label;
}

QPushButton* button(const QString& title, const char* objectName, QWidget* parent) {
    auto* b = new QPushButton(title, parent);
    b->setObjectName(QLatin1String(objectName));
    return b;
}

} // namespace

AdvancedTab::AdvancedTab(SettingsComponents& components, AppSettings& settings, QWidget* parent)
    : QWidget(parent), c_(components), settings_(settings),
      finderState_(components.initialFinderState) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 12);
    outer->setSpacing(10);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Chrome::slimScrollBars(*scroll);
    auto* body = new QWidget(scroll);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(18, 14, 18, 8);
    layout->setSpacing(14);
    if (!c_.mountManager.isFUSEAvailable())
        layout->addWidget(fuseCard());
    auto* storage = new QWidget(body);
    QVBoxLayout* storageCard = section(storage, {});
    storageCard->addWidget(folderRow("Mount At", mountPath_, "chooseMountPoint"));
    storageCard->addWidget(folderRow("Cache Directory", cachePath_, "chooseCacheDirectory"));
    storageCard->addSpacing(4);
    storageCard->addWidget(cacheSize());
    layout->addWidget(storage);
    layout->addWidget(launchAtLogin());
    layout->addWidget(updates());
    layout->addWidget(fileManagerMenu());
    layout->addWidget(diagnostics());
    layout->addStretch(1);
    scroll->setWidget(body);
    outer->addWidget(scroll, 1);

    auto* saveRow = new QHBoxLayout;
    saveRow->setContentsMargins(18, 0, 18, 0);
    saveRow->addStretch(1);
    QPushButton* save = button("Save", "saveButton", this);
    Chrome::primaryButton(*save);
    save->setMinimumWidth(90);
    saveRow->addWidget(save);
    outer->addLayout(saveRow);
    connect(save, &QPushButton::clicked, this, &AdvancedTab::saveRequested);

    SettingsWidgets::setPath(mountPath_, settings_.mountPoint);
    SettingsWidgets::setPath(cachePath_, settings_.cacheDir);
    showFinderState(finderState_);
    refreshUpdateState();
    if (c_.updateChanged)
        c_.updateChanged(this, [this] { refreshUpdateState(); });
}

QWidget* AdvancedTab::fuseCard() {
    auto* card = new CardFrame(this);
    card->setObjectName(QStringLiteral("fuseCard"));
    auto* layout = new QHBoxLayout(card);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(10);
    layout->addWidget(new SymbolIcon("exclamationmark.triangle.fill", ViewColor::orange, 20, card),
                      0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    auto* title = wrapped(ViewColor::label, card);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setText(SettingsModel::fuseCardTitle());
    column->addWidget(title);
    auto* text = wrapped(ViewColor::secondary, card);
    text->setText(SettingsModel::fuseCardText());
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(text);
    auto* row = new QHBoxLayout;
    QPushButton* download = button("Download", "fuseDownloadButton", card);
    row->addWidget(download);
    row->addStretch(1);
    column->addLayout(row);
    layout->addLayout(column, 1);
    connect(download, &QPushButton::clicked, this, [this] {
        const QUrl page = SettingsModel::fuseHelpPage();
        if (c_.openURL)
            c_.openURL(page);
        else
            QDesktopServices::openUrl(page);
    });
    return card;
}

QWidget* AdvancedTab::folderRow(const QString& title, QLabel*& path, const char* objectName) {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* caption = new QLabel(title, row);
    caption->setMinimumWidth(110);
    layout->addWidget(caption);
    path = SettingsWidgets::pathLabel(row);
    path->setObjectName(QLatin1String(objectName) + QStringLiteral("Path"));
    layout->addWidget(path, 1);
    QPushButton* choose = button("Choose…", objectName, row);
    layout->addWidget(choose);
    const bool mount = QLatin1String(objectName) == QLatin1String("chooseMountPoint");
    connect(choose, &QPushButton::clicked, this, [this, mount] {
        if (mount)
            chooseMountPoint();
        else
            chooseCacheDirectory();
    });
    return row;
}

QWidget* AdvancedTab::cacheSize() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    cacheLabel_ =
        SettingsWidgets::heading(SettingsModel::cacheSizeLabel(settings_.cacheSizeMB), box);
    cacheLabel_->setObjectName(QStringLiteral("cacheSizeLabel"));
    layout->addWidget(cacheLabel_);
    cacheSlider_ = new QSlider(Qt::Horizontal, box);
    cacheSlider_->setObjectName(QStringLiteral("cacheSizeSlider"));
    // One step of the slider is 1024 MB.
    cacheSlider_->setRange(int(SettingsModel::kCacheMinMB / SettingsModel::kCacheStepMB),
                           int(SettingsModel::kCacheMaxMB / SettingsModel::kCacheStepMB));
    cacheSlider_->setPageStep(10);
    cacheSlider_->setValue(int(settings_.cacheSizeMB / SettingsModel::kCacheStepMB));
    layout->addWidget(cacheSlider_);
    connect(cacheSlider_, &QSlider::valueChanged, this, [this](int steps) {
        settings_.cacheSizeMB = steps * SettingsModel::kCacheStepMB;
        cacheLabel_->setText(SettingsModel::cacheSizeLabel(settings_.cacheSizeMB));
    });
    return box;
}

QWidget* AdvancedTab::launchAtLogin() {
    auto* box = new QWidget(this);
    QVBoxLayout* layout = section(box, {});
    auto* toggle = new QCheckBox(QStringLiteral("Launch at Login"), box);
    toggle->setObjectName(QStringLiteral("launchAtLogin"));
    toggle->setChecked(settings_.launchAtLogin);
    layout->addWidget(toggle);
    loginProblem_ = wrapped(ViewColor::orange, box);
    loginProblem_->setObjectName(QStringLiteral("launchAtLoginProblem"));
    loginProblem_->hide();
    layout->addWidget(loginProblem_);
    connect(toggle, &QCheckBox::toggled, this, [this](bool on) { settings_.launchAtLogin = on; });
    return box;
}

QWidget* AdvancedTab::updates() {
    auto* box = new QWidget(this);
    QVBoxLayout* layout = section(box, "Updates");
    auto* toggle = new QCheckBox(QStringLiteral("Check for Updates Automatically"), box);
    toggle->setObjectName(QStringLiteral("automaticUpdates"));
    toggle->setChecked(settings_.automaticUpdates);
    layout->addWidget(toggle);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    checkNow_ = button("Check Now", "checkNowButton", box);
    row->addWidget(checkNow_);
    updateStatus_ = wrapped(ViewColor::secondary, box);
    updateStatus_->setObjectName(QStringLiteral("updateStatus"));
    row->addWidget(updateStatus_, 1);
    layout->addLayout(row);
    connect(toggle, &QCheckBox::toggled, this,
            [this](bool on) { settings_.automaticUpdates = on; });
    connect(checkNow_, &QPushButton::clicked, this, [this] {
        if (c_.onCheckForUpdates)
            c_.onCheckForUpdates();
    });
    return box;
}

QWidget* AdvancedTab::fileManagerMenu() {
    auto* box = new QWidget(this);
    QVBoxLayout* layout = section(box, "File Manager Right-Click Menu");
    auto* row = new QHBoxLayout;
    finderStateLabel_ = new QLabel(box);
    finderStateLabel_->setObjectName(QStringLiteral("finderState"));
    row->addWidget(finderStateLabel_, 1);
    finderButton_ = button("Enable", "finderButton", box);
    row->addWidget(finderButton_);
    layout->addLayout(row);
    finderNote_ = wrapped(ViewColor::secondary, box);
    finderNote_->setObjectName(QStringLiteral("finderNote"));
    layout->addWidget(finderNote_);
    connect(finderButton_, &QPushButton::clicked, this, [this] { enableFinderExtension(); });
    return box;
}

QWidget* AdvancedTab::diagnostics() {
    auto* box = new QWidget(this);
    QVBoxLayout* layout = section(box, "Diagnostics");
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto* text = wrapped(ViewColor::secondary, box);
    text->setText(SettingsModel::diagnosticsText());
    row->addWidget(text, 1);
    export_ = button("Export", "exportButton", box);
    row->addWidget(export_, 0, Qt::AlignTop);
    layout->addLayout(row);
    connect(export_, &QPushButton::clicked, this, [this] { exportDiagnostics(); });
    return box;
}

void AdvancedTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    const auto problem = c_.launchAtLoginProblem ? c_.launchAtLoginProblem() : std::nullopt;
    loginProblem_->setText(problem.value_or(QString()));
    loginProblem_->setVisible(problem.has_value());
    refreshFinderState();
}

void AdvancedTab::refreshUpdateState() {
    const UpdateCardState state = c_.update ? c_.update() : UpdateCardState{};
    checkNow_->setText(SettingsModel::checkNowTitle(state));
    updateStatus_->setText(SettingsModel::updateStatusText(state));
}

void AdvancedTab::chooseMountPoint() {
    const auto folder =
        c_.prompts.chooseFolder(SettingsModel::mountPointRequest(settings_.mountPoint));
    if (!folder)
        return;
    if (const auto problem = SettingsModel::mountPointProblem(*folder)) {
        c_.prompts.warn(QStringLiteral("Invalid mount point"), *problem);
        return;
    }
    settings_.mountPoint = *folder;
    SettingsWidgets::setPath(mountPath_, *folder);
    emit mountPointChanged(*folder);
}

void AdvancedTab::chooseCacheDirectory() {
    const auto folder =
        c_.prompts.chooseFolder(SettingsModel::cacheDirectoryRequest(settings_.cacheDir));
    if (!folder)
        return;
    settings_.cacheDir = *folder;
    SettingsWidgets::setPath(cachePath_, *folder);
}

void AdvancedTab::showFinderState(FinderExtensionState state) {
    finderState_ = state;
    const SettingsModel::FinderSection texts = SettingsModel::finderSection(state);
    finderStateLabel_->setText(texts.state);
    finderButton_->setText(texts.button);
    finderButton_->setVisible(!texts.button.isEmpty());
    finderNote_->setText(texts.note);
    finderNote_->setVisible(!texts.note.isEmpty());
}

QCoro::Task<> AdvancedTab::refreshFinderState() {
    if (!c_.finderState)
        co_return;
    QPointer<AdvancedTab> self(this);
    FinderExtensionState state = finderState_;
    try {
        state = co_await c_.finderState();
    } catch (...) {
        // The state stays as last known.
    }
    if (self)
        showFinderState(state);
}

QCoro::Task<> AdvancedTab::enableFinderExtension() {
    if (!c_.enableFinderExtension)
        co_return;
    QPointer<AdvancedTab> self(this);
    finderButton_->setEnabled(false);
    FinderExtensionState state = finderState_;
    try {
        state = co_await c_.enableFinderExtension();
    } catch (...) {
        // Shown as it was; the section stays usable.
    }
    if (!self)
        co_return;
    finderButton_->setEnabled(true);
    showFinderState(state);
}

QCoro::Task<> AdvancedTab::exportDiagnostics() {
    QPointer<AdvancedTab> self(this);
    std::optional<QString> report;
    if (c_.exportDiagnostics) {
        export_->setEnabled(false);
        try {
            report = co_await c_.exportDiagnostics(settings_);
        } catch (...) {
            report.reset();
        }
        if (!self)
            co_return;
        export_->setEnabled(true);
    }
    if (report)
        c_.viewer.selectItem(*report);
    else
        c_.prompts.warn(QStringLiteral("Couldn't write the report"),
                        QStringLiteral("Check that Kelvane is allowed to write to your Desktop."));
}
