// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/Logging.h"

#include <cstdio>

Q_LOGGING_CATEGORY(lcQuorvel, "quorvel", QtInfoMsg)

void printDiagnostic(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}
