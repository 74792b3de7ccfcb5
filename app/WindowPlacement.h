// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

/// Brings a top-level window whole into the available area of the screen it lands on,
/// smaller if need be: a size saved on a larger screen, or at a smaller scale, would leave
/// its bottom (the status bar) out of reach.
void fitIntoScreen(QWidget *window);
