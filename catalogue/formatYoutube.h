// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// A checkbox state with the platform-independent values that the settings store and the
/// diagnostics use: on 1, off 0, mixed -1.
enum class ControlState : int {
    Mixed = -1,
    Off = 0,
    On = 1,
};

/// One format that the downloader offers for the video in hand: one format line of its listing.
struct formatYoutube
{
    QString formatID;
    QString codec;
    QString dimension;
    QString info;
    ControlState isChecked = ControlState::Off;

    friend bool operator==(const formatYoutube &, const formatYoutube &) = default;
};
