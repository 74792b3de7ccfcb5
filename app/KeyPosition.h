// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QtGlobal>

/// Key codes of the keyboard commands: positions on the keyboard, not characters, written
/// as the Mac virtual key codes of the keys at those positions on an ANSI keyboard.
namespace KeyPosition {
inline constexpr int clearAll = 2; // D
inline constexpr int invertAll = 34; // I
inline constexpr int tickAll = 12; // Q on ANSI, A on AZERTY

/// The position code of a key event's physical key, from the platform's native codes
/// (virtual key on macOS, scan code elsewhere); nothing for a key outside the commands.
std::optional<int> fromNative(quint32 nativeScanCode, quint32 nativeVirtualKey);
} // namespace KeyPosition
