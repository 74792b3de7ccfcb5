// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

/// Makes the calling process (a child between fork and exec) the leader of a process group
/// of its own, so that the shell, the tool and whatever they start can be signalled together,
/// and has it killed when Quorvel dies. `parent` is Quorvel's pid, taken before the fork: a
/// child whose parent is already gone exits at once.
void becomeProcessGroupLeader(qint64 parent);

/// Sends the signal to every member of the process group `groupId`. The id stays reserved
/// while any member lives, also once its leader has been reaped; ids of 0 and below are
/// ignored, as kill() would read them as Quorvel's own group.
void signalProcessGroup(qint64 groupId, int signalNumber);

/// The environment variable that marks every process Quorvel starts, and its value for the
/// running Quorvel: "<pid>:<start time>:<marker>", where `marker` names the instance (the
/// queue's database), so that a leftover can be told from the child of a live Quorvel.
inline constexpr char ownerVariable[] = "QUORVEL_OWNER";
QByteArray ownerValue(const QByteArray &marker);

/// Kills (SIGKILL) the processes of this user whose environment carries `marker` under
/// ownerVariable while the Quorvel that started them is no longer running: what a crashed
/// or killed Quorvel left behind. Returns how many were signalled.
int endLeftoverProcesses(const QByteArray &marker);
