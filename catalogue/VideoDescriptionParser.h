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

/// One JSON object as the downloader writes it; nothing when it is no object. Every value of
/// the wrong type counts as absent.
std::optional<DescribedVideo> parseVideoDescription(QByteArrayView json);

/// `formats` (the table's records), each completed from the described format of its code;
/// records without one stay as they are, and described formats the table lacks are left out.
QList<formatYoutube> completedFormats(QList<formatYoutube> formats,
                                      const QHash<QString, formatYoutube> &described);
