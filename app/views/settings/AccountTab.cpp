#include "app/views/settings/AccountTab.h"

#include "app/views/common/SymbolIcon.h"
#include "app/views/common/ToneLabel.h"
#include "app/views/settings/SettingsWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AccountTab::AccountTab(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 16);
    layout->setSpacing(10);

    auto* card = new CardFrame(this);
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(14, 12, 14, 12);
    rows->setSpacing(10);
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(new QLabel(QStringLiteral("Workspace API"), card));
    server_ = new ToneLabel(ViewColor::secondary, card);
    server_->setObjectName(QStringLiteral("serverAddress"));
    server_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    server_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    server_->setWordWrap(true);
    serverRow->addWidget(server_, 1);
    rows->addLayout(serverRow);

    auto* connectedRow = new QHBoxLayout;
    connectedRow->setSpacing(8);
    connectedRow->addWidget(new SymbolIcon("checkmark.circle.fill", ViewColor::green, 16, card));
    connectedRow->addWidget(new QLabel(QStringLiteral("Connected"), card), 1);
    rows->addLayout(connectedRow);
    layout->addWidget(card);

    auto* signOut = new QPushButton(QStringLiteral("Sign Out"), this);
    signOut->setObjectName(QStringLiteral("signOutButton"));
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(signOut);
    layout->addLayout(buttonRow);
    layout->addStretch(1);
    connect(signOut, &QPushButton::clicked, this, &AccountTab::signOutRequested);
}

void AccountTab::setServer(const QString& address) {
    server_->setText(address);
}
