// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>
#include <QString>

// Quorvel's log lines: the shell arguments of each download, removals.
Q_DECLARE_LOGGING_CATEGORY(lcQuorvel)

/// A diagnostic line on standard output (key codes, ticks, the first-launch note), written
/// and flushed at once so that it is never lost or interleaved with the tools' output.
void printDiagnostic(const QString &line);
