// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QDialog>
#include <QStringList>

#include "settings/Settings.h"

class QSettings;

namespace Ui {
class preferenceViewController;
}

/// The settings window: the audio settings, the downloader's channel, the merge container, how
/// files are named, and how the queue runs.
/// It shows the stored values when it is made and stores the controls' values on OK only.
class preferenceViewController final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(preferenceViewController)

public:
    /// `store` must outlive the window.
    explicit preferenceViewController(QSettings &store, QWidget *parent = nullptr);
    ~preferenceViewController() override;

    /// The audio formats that the combo box offers; any other text may be typed.
    static QStringList formatAudio();

    void okButton();
    void cancelButton();

signals:
    /// On OK, when the number of downloads run at once has changed: the queue follows it.
    void simultaneousDownloadsChanged(int count);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void viewDidLoad();
    /// Says, before anything is stored, why OK waits or what the downloader will refuse.
    void explain();

    std::unique_ptr<Ui::preferenceViewController> m_ui;
    Settings m_settings;
};
