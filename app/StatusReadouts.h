// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>

class MessageLine;
class QPushButton;

/// The status bar's readouts: how the last download ended, with a way to its folder, and
/// which downloader runs, with what to do about it.
class StatusReadouts final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusReadouts)

public:
    explicit StatusReadouts(QWidget *parent = nullptr);

    /// Offers to open `folder` beside the message.
    void showDownloadEnd(const QString &message, const QString &detail, const QString &folder);
    void clearDownloadEnd();
    /// The detail is the downloader's file, for the tooltip.
    void showDownloader(const QString &description, const QString &detail, const QString &advice);

private:
    MessageLine *m_endLabel = nullptr;
    QPushButton *m_openFolderButton = nullptr;
    MessageLine *m_adviceLabel = nullptr;
    MessageLine *m_versionLabel = nullptr;
    QString m_folder;
};
