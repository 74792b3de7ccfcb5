// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

// Quorvel's log lines: shell arguments of each download, failed removals.
Q_DECLARE_LOGGING_CATEGORY(lcQuorvel)
