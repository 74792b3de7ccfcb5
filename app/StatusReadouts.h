// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class MessageLine;
class ToolSet;

/// The status bar's readouts: short facts that last, such as which downloader runs. What
/// happened and what to do about it are shown above, by ResultPanel.
class StatusReadouts final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusReadouts)

public:
    explicit StatusReadouts(QWidget *parent = nullptr);

    void showDownloader(const ToolSet &tools);

private:
    MessageLine *m_versionLabel = nullptr;
};
