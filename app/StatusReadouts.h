// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>

class MessageLine;
class QPushButton;
class ToolSet;

/// The status bar's readouts: how the last download ended, with a way to its folder, and
/// which downloader runs, with what to do about it.
class StatusReadouts final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusReadouts)

public:
    explicit StatusReadouts(QWidget *parent = nullptr);

    /// Says that a download ended well with `files` in `folder`, and offers to open it; the
    /// desktop says it too when the window is not the active one.
    void showDownloadEnd(const QStringList &files, const QString &folder);
    void clearDownloadEnd();
    void showDownloader(const ToolSet &tools);

private:
    MessageLine *m_endLabel = nullptr;
    QPushButton *m_openFolderButton = nullptr;
    MessageLine *m_adviceLabel = nullptr;
    MessageLine *m_versionLabel = nullptr;
    QString m_folder;
};
