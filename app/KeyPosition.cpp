// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/KeyPosition.h"

#include <array>
#include <utility>

namespace KeyPosition {

std::optional<int> fromNative(quint32 nativeScanCode, quint32 nativeVirtualKey)
{
#if defined(Q_OS_MACOS)
    // macOS virtual key codes already are positions.
    Q_UNUSED(nativeScanCode);
    for (const int code : {clearAll, invertAll, tickAll}) {
        if (nativeVirtualKey == static_cast<quint32>(code)) {
            return code;
        }
    }
    return std::nullopt;
#else
    Q_UNUSED(nativeVirtualKey);
#if defined(Q_OS_WIN)
    // PC/AT set 1 scan codes.
    constexpr std::array<std::pair<quint32, int>, 3> table {
        {{0x20, clearAll}, {0x17, invertAll}, {0x10, tickAll}}};
#else
    // XKB key codes (evdev code + 8), as X11 and Wayland report them.
    constexpr std::array<std::pair<quint32, int>, 3> table {
        {{40, clearAll}, {31, invertAll}, {24, tickAll}}};
#endif
    for (const auto &[scanCode, code] : table) {
        if (nativeScanCode == scanCode) {
            return code;
        }
    }
    return std::nullopt;
#endif
}

} // namespace KeyPosition
