#include "app/views/settings/DrivesTab.h"

#include "app/mount/MountManager.h"
#include "app/views/common/Chrome.h"
#include "app/views/common/SymbolIcon.h"
#include "app/views/common/ToneLabel.h"
#include "app/views/settings/SettingsModel.h"
#include "app/views/settings/SettingsWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QWidget* filespaceCard(const Filespace& filespace, const SettingsModel::DriveStatus& status,
                       QWidget* parent) {
    auto* card = new CardFrame(parent);
    card->setObjectName(QStringLiteral("filespace:") + filespace.id);
    auto* layout = new QHBoxLayout(card);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(10);
    layout->addWidget(new SymbolIcon("externaldrive.fill", ViewColor::label, 20, card), 0,
                      Qt::AlignVCenter);
    auto* name = new QLabel(filespace.name, card);
    name->setTextFormat(Qt::PlainText);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    layout->addWidget(name, 0, Qt::AlignVCenter);
    auto* state = new ToneLabel(status.color, card);
    state->setObjectName(QStringLiteral("driveStatus"));
    state->setText(status.text);
    state->setWordWrap(true);
    state->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(state, 1);
    return card;
}

} // namespace

DrivesTab::DrivesTab(MountManager& mountManager, QWidget* parent)
    : QWidget(parent), mountManager_(mountManager) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 16);
    layout->setSpacing(6);
    layout->addWidget(SettingsWidgets::heading("FILESPACES", this));
    line_ = new ToneLabel(ViewColor::secondary, this);
    line_->setWordWrap(true);
    layout->addWidget(line_);
    layout->addSpacing(6);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Chrome::slimScrollBars(*scroll);
    list_ = new QWidget(scroll);
    listLayout_ = new QVBoxLayout(list_);
    listLayout_->setContentsMargins(0, 0, 0, 0);
    listLayout_->setSpacing(8);
    scroll->setWidget(list_);
    layout->addWidget(scroll, 1);

    connect(&mountManager_, &MountManager::filespacesChanged, this, &DrivesTab::refresh);
    connect(&mountManager_, &MountManager::mountStatesChanged, this, &DrivesTab::refresh);
    refresh();
}

void DrivesTab::setMountPoint(const QString& mountPoint) {
    line_->setText(SettingsModel::filespacesLine(mountPoint));
}

void DrivesTab::refresh() {
    while (QLayoutItem* item = listLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QList<Filespace> filespaces = mountManager_.filespaces();
    if (filespaces.isEmpty()) {
        auto* none = new ToneLabel(ViewColor::secondary, list_);
        none->setObjectName(QStringLiteral("noFilespaces"));
        none->setWordWrap(true);
        none->setText(SettingsModel::noFilespacesText());
        listLayout_->addWidget(none);
    }
    const MountStateMap states = mountManager_.mountStates();
    for (const Filespace& filespace : filespaces)
        listLayout_->addWidget(
            filespaceCard(filespace, SettingsModel::statusFor(filespace, states), list_));
    listLayout_->addStretch(1);
}
