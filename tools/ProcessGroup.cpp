// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ProcessGroup.h"

#include <csignal>

#include <unistd.h>

void becomeProcessGroupLeader()
{
    ::setpgid(0, 0);
}

void signalProcessGroup(qint64 groupId, int signalNumber)
{
    if (groupId > 0) {
        ::kill(-static_cast<pid_t>(groupId), signalNumber);
    }
}
