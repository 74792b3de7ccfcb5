// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QString>

class QMessageBox;
class QWidget;
class ToolSet;

// The questions that the main window asks through the platform's dialogs, unless a test
// answers them instead.

/// The download folder, starting in `start`; empty when the user gives up.
QString askForFolder(QWidget *parent, const QString &start);
/// What to do with the downloads that run or wait when quitting.
enum class QuitChoice {
    Stay,
    /// The queue's jobs are paused, and come back at the next start.
    PauseAndQuit,
    /// Every job that has not ended is cancelled, its unfinished files removed.
    CancelAndQuit,
};
/// Asks what to do with the downloads that run, and quit or not.
QuitChoice confirmQuit(QWidget *parent);
/// The question that confirmQuit() asks; Enter and Escape keep the downloads going.
std::unique_ptr<QMessageBox> quitQuestion(QWidget *parent);
/// The choice of the button that answered the question.
QuitChoice quitChoice(const QMessageBox &question);
/// Whether to install a downloader older than the installed one.
bool confirmGoingBack(QWidget *parent, const QString &installed, const QString &offered);

/// What Aide → "À propos de Quorvel" says: the version, the licence, and which downloader
/// runs, from where.
QString aboutText(const ToolSet &tools);
void showAbout(QWidget *parent, const ToolSet &tools);
