// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "catalogue/formatYoutube.h"
#include "settings/Settings.h"

/// A plain download of the ticked formats, or one that extracts their audio.
enum class DownloadMode { Plain, Audio };

/// Everything a download's command line is made of.
struct DownloadRequest
{
    QString youtubeDLPath;
    QString ffmpegPath;
    QString folder;
    QString address;
    /// Codes of the ticked records in list order; empty means "best".
    QStringList formatIDs;
    /// True for the audio download control (tag 3).
    bool audio = false;
    QString audioFormat;
    qint32 audioQuality = 0;
    /// On keeps the video file after extraction; off, mixed or any other value does not.
    ControlState audioPreserveVideo = ControlState::On;
    /// The value of "--js-runtimes"; empty: the option is left out.
    QString javaScriptRuntimes;
};

/// The request for one download, from the tools found at start-up and the audio settings
/// as read before the folder was chosen.
DownloadRequest makeDownloadRequest(DownloadMode mode, const QStringList &formatIDs,
                                    const QString &folder, const QString &address,
                                    const AudioSettings &audio,
                                    const QString &javaScriptRuntimes = {});

/// Why the downloader cannot be given this folder, in French; empty when it can. A folder
/// that does not exist (the downloader would create it) or whose name holds "$NAME" (the
/// downloader would replace it by the environment's value and write elsewhere) is refused.
QString folderRefusal(const QString &folder);

/// The output template that follows the folder inside the same quoted word.
QString outputTemplate();

/// The folder text of the template: the folder with exactly one "/" at its end.
QString folderWithSlash(const QString &folder);

/// The --audio-quality value: the magnitude in decimal, with "k" above 9.
QString audioQualityText(qint32 quality);

/// The command line for "/bin/bash -c". Every outside piece is one quoted shell word, and the
/// address comes last, after "--".
QString composeDownloadCommand(const DownloadRequest &request);
