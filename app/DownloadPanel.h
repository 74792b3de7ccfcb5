// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QWidget>

#include "download/Session.h"

class ProgressReadout;

namespace Ui {
class DownloadPanel;
}

/// The download actions and what they give: the download, audio download and cancel buttons,
/// the choice to merge picture and sound, the quality to fetch, the message line and the
/// progress bar.
class DownloadPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadPanel)

public:
    /// The actions that may be taken now.
    struct Allowed
    {
        bool download = false;
        bool downloadAudio = false;
        bool cancel = false;
        bool merge = false;
    };

    /// The audio download button's tag (the plain one's is 0).
    static constexpr int audioTag = 3;

    explicit DownloadPanel(QWidget *parent = nullptr);
    ~DownloadPanel() override;

    void setAllowed(const Allowed &allowed);
    void setMergeVideoAndAudio(bool merge);
    void setQualityChoice(QualityChoice choice);
    /// Whether "Formats cochés" may be chosen: not for a whole list, whose entries have no
    /// ticked formats.
    void offerTickedFormats(bool offered);
    /// With the way to the cookies beside it when the downloader's line says that the site
    /// wants to know who asks.
    void setMessage(const QString &message, const QString &detail = {});
    void showProgress(const DownloadProgress &progress);
    /// A busy bar while formats are listed; the bar back to 0 around a download or an
    /// installation.
    void showWork(Session::Work work, bool running);
    /// Of a tool being installed; `total` is -1 while unknown.
    void showTransfer(qint64 received, qint64 total);

signals:
    /// audioTag asks for an audio download; any other tag for a plain one.
    void downloadRequested(int tag);
    void cancelRequested();
    void mergeToggled(bool merge);
    void qualityChosen(QualityChoice choice);
    /// "Utiliser les cookies du navigateur…".
    void signInRequested();

private:
    void fillQualityChoices();

    std::unique_ptr<Ui::DownloadPanel> m_ui;
    ProgressReadout *m_readout = nullptr;
};
