// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QWidget>

namespace Ui {
class AddressBar;
}

/// The video's address and the button that lists its formats (Return in the field too).
class AddressBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddressBar)

public:
    explicit AddressBar(QWidget *parent = nullptr);
    ~AddressBar() override;

    QString address() const;
    void setAddress(const QString &address);
    void setListingEnabled(bool enabled);

signals:
    void formatsRequested();

private:
    std::unique_ptr<Ui::AddressBar> m_ui;
};
