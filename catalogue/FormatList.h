// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "catalogue/formatYoutube.h"

/// The process-wide list of offered formats, in table order (row index = list index).
/// Queries append to it, the sort reorders it, nothing empties it.
QList<formatYoutube> &formatList();

/// Full paths of the two tools in the tool folder; absent until start-up finds them.
std::optional<QString> &youtubeDLPath();
std::optional<QString> &ffmpegPath();
