// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>

#include "catalogue/formatYoutube.h"

/// The process-wide list of offered formats, in table order (row index = list index).
/// Only the format table model changes it: queries append to it, the sort reorders it,
/// "Effacer la liste" empties it.
QList<formatYoutube> &formatList();
