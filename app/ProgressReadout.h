// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>

#include "download/DownloadOutputMonitor.h"

class QLabel;
class QProgressBar;
class QTimer;

/// Shows a download's progress at a human rate: the bar ("42,3 %") and, beside it, which
/// file of how many, the speed and the time left, in French forms. The downloader reports
/// many times a second; the latest report wins, the bar shows it at most ten times a second
/// and the details twice, so that repainting costs little beside the download itself, and
/// nothing ticks between downloads.
class ProgressReadout final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressReadout)

public:
    ProgressReadout(QProgressBar *bar, QLabel *details, QObject *parent = nullptr);

    void show(const DownloadProgress &progress);
    /// The end of a download: what is pending is dropped, the bar goes back to 0.
    void reset();

    /// The bar's text and the readouts' text for a report.
    static QString barText(double percent);
    static QString detailsText(const DownloadProgress &progress);

private:
    void apply();

    QProgressBar *m_bar = nullptr;
    QLabel *m_details = nullptr;
    QTimer *m_timer = nullptr;
    DownloadProgress m_latest;
    bool m_pending = false;
    QElapsedTimer m_detailsShown;
    int m_detailsFile = 0;
};
