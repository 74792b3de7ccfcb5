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

/// What a format holds: picture and sound, picture only, or sound only.
enum class FormatKind { VideoAndAudio, VideoOnly, AudioOnly };

/// One format that the downloader offers for the video in hand: one format line of its listing.
struct formatYoutube
{
    QString formatID;
    QString codec;
    QString dimension;
    QString info;
    ControlState isChecked = ControlState::Off;

    // Read from the same line, for the table.
    FormatKind kind = FormatKind::VideoAndAudio;
    /// "3.28MiB", as the downloader writes it; approximate when it says "≈" or "~".
    QString fileSize;
    bool fileSizeApproximate = false;
    /// Kilobits per second; 0 when the line gives none.
    double bitRate = 0;
    /// Of an audio track: "fr", "en-US", with " (original)" when the listing says so.
    QString language;
    /// The line's note without the table's separators and what the other columns show.
    QString note;

    // From the video's description, when the downloader wrote one: the format of the same code.
    /// Kilobits per second of the picture and of the sound; 0 when unknown.
    double videoBitRate = 0;
    double audioBitRate = 0;
    /// Frames per second; 0 when unknown.
    double fps = 0;
    /// "SDR", "HDR10"...; empty when unknown.
    QString dynamicRange;
    /// 0 when unknown.
    int audioChannels = 0;
    /// Protected: the downloader cannot download it.
    bool drm = false;

    friend bool operator==(const formatYoutube &, const formatYoutube &) = default;
};
