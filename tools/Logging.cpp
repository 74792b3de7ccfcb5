// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/Logging.h"

Q_LOGGING_CATEGORY(lcQuorvel, "quorvel", QtInfoMsg)
