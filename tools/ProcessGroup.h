// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

/// Makes the calling process (a child between fork and exec) the leader of a process group
/// of its own, so that the shell, the tool and whatever they start can be signalled together.
void becomeProcessGroupLeader();

/// Sends the signal to every member of the process group `groupId`. The id stays reserved
/// while any member lives, also once its leader has been reaped; ids of 0 and below are
/// ignored, as kill() would read them as Quorvel's own group.
void signalProcessGroup(qint64 groupId, int signalNumber);
