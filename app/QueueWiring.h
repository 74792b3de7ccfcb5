// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

class DownloadQueue;
class QueuePanel;
class QWidget;

/// Hands the panel's actions to the queue (and its rows' drops), opens a job's folder, and
/// tells the desktop when the queue has emptied or a job failed while `window` is not the
/// active one.
void connectQueue(QueuePanel *panel, DownloadQueue *queue, QWidget *window);
