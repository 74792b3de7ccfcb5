// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Text from outside (a tool's output, a server's words, a title, a file or folder name) as it
/// is shown: control characters become blanks, and the controls that reorder right-to-left
/// text are removed, so that a name reads as it is stored.
QString shownText(QStringView text);

/// The shown text as a tooltip that can only be read as plain text, blanks kept; empty when
/// there is nothing to show.
QString plainToolTip(QStringView text);
