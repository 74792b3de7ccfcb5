// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QProcess;

/// The shell that runs every command line of the downloader.
QString shellProgram();

/// The argument list for shellProgram(): "-c" and the command line.
QStringList shellArguments(const QString &commandLine);

/// Quotes any text as one shell word: the shell hands it on unchanged and interprets none
/// of it (no expansion, no operator, no word splitting).
QString shellQuote(const QString &text);

/// Prepares a process so that it starts as the leader of a process group of its own, so
/// that the shell, the downloader and what they start can be ended together.
void startInOwnProcessGroup(QProcess &process);

/// Sends the signal to the whole process group led by the process (no-op when not running).
void signalProcessGroup(const QProcess &process, int signalNumber);
/// Sends the signal to a process group by its id, which stays reserved while any member of
/// the group lives, also once its leader has been reaped; ids of 0 and below are ignored.
void signalProcessGroup(qint64 groupId, int signalNumber);

/// Ends a whole process group: SIGTERM at once, SIGKILL after a grace period.
void terminateProcessGroup(QProcess &process);

/// Ends a whole process group and waits for it (for an owner going away): SIGTERM, then
/// SIGKILL after `graceMilliseconds`, and SIGKILL again for members that outlived the leader.
void stopProcessGroupAndWait(QProcess &process, int graceMilliseconds);
