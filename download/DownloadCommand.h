// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

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
    /// Raw control state: 1 keeps the video file after extraction.
    int audioPreserveVideo = 1;
};

/// The output template that follows the folder inside the same quoted word.
QString outputTemplate();

/// The folder text of the template: the folder with exactly one "/" at its end.
QString folderWithSlash(const QString &folder);

/// The --audio-quality value: the magnitude in decimal, with "k" above 9.
QString audioQualityText(qint32 quality);

/// The command line for "/bin/bash -c". Every outside piece is one quoted shell word, and the
/// address comes last, after "--".
QString composeDownloadCommand(const DownloadRequest &request);
