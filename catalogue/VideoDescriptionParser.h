// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

#include "catalogue/VideoDescription.h"
#include "catalogue/formatYoutube.h"

/// The downloader's description of a video (its "-J" line), read: the video, and per format
/// code a record holding what the description tells of it.
struct DescribedVideo
{
    VideoDescription video;
    QHash<QString, formatYoutube> formats;
};

/// `address` when it is a web address (http or https, with a host); empty otherwise: a file
/// or a script named by outside text is never used.
QUrl webAddress(const QString &address);

/// Whether `code` is a subtitle language code that the downloader's --sub-langs takes as
/// itself, and that can end a file's name: 1 to 32 ASCII letters, digits, "-" and "_", not
/// beginning with "-" ("all but") or "_", and neither "all" (every language) nor "live_chat"
/// (a live video's chat, not subtitles). --sub-langs reads each code as a regular expression.
bool isSubtitleCode(QStringView code);

/// One JSON object as the downloader writes it; nothing when it is no object. Every value of
/// the wrong type counts as absent.
std::optional<DescribedVideo> parseVideoDescription(QByteArrayView json);

/// `formats` (the table's records), each completed from the described format of its code;
/// records without one stay as they are, and described formats the table lacks are left out.
QList<formatYoutube> completedFormats(QList<formatYoutube> formats,
                                      const QHash<QString, formatYoutube> &described);
