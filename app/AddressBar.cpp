// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/AddressBar.h"

#include <limits>

#include <QToolButton>

#include "ui_AddressBar.h"

AddressBar::AddressBar(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::AddressBar>())
{
    m_ui->setupUi(this);
    setFocusProxy(m_ui->urlYoutube);
    // A pasted address is never cut short: it reaches the downloader whole, or the shell
    // refuses a command line beyond the system's limit and the window says so.
    m_ui->urlYoutube->setMaxLength(std::numeric_limits<int>::max());
    // The field's clear button is Qt's own, with an icon and no name for screen readers.
    for (auto *clearButton : m_ui->urlYoutube->findChildren<QToolButton *>()) {
        clearButton->setAccessibleName(tr("Effacer l'adresse"));
        clearButton->setToolTip(tr("Effacer l'adresse"));
    }
    connect(m_ui->getFormatButton, &QPushButton::clicked, this, &AddressBar::formatsRequested);
    connect(m_ui->urlYoutube, &QLineEdit::returnPressed, this, [this] {
        if (m_ui->getFormatButton->isEnabled()) {
            emit formatsRequested();
        }
    });
}

AddressBar::~AddressBar() = default;

QString AddressBar::address() const
{
    return m_ui->urlYoutube->text();
}

void AddressBar::setAddress(const QString &address)
{
    m_ui->urlYoutube->setText(address);
}

void AddressBar::setListingEnabled(bool enabled)
{
    m_ui->getFormatButton->setEnabled(enabled);
}
