// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Shows a desktop notification through the freedesktop notification service on the session
/// bus, without waiting; where there is no such service, nothing happens. The body is shown as
/// plain text, whether the server reads markup or not.
void notifyDesktop(const QString &summary, const QString &body);
