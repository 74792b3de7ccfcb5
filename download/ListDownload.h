// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include "catalogue/PlaylistEntry.h"
#include "download/DownloadCommand.h"

/// `text` as a name in the downloader's restricted form: ASCII letters, digits, "-", "_"
/// and "."; an accented letter without its accent, a blank as "_", any other character
/// left out. Never empty ("liste"), never hidden nor "." or "..", at most 100 characters.
QString restrictedFileName(const QString &text);

/// The prefix of an entry's file names: its place, zero-padded to the width of `count`,
/// and "-" ("007-" for the 7th of 120).
QString entryNamePrefix(int index, int count);

/// The requests for the chosen entries of a list, in their order: each entry's address,
/// fetched as `choice.quality` says (the list's videos have formats of their own: the
/// ticked ones are not theirs, and "Formats cochés" gives the best), into a folder named
/// after the list inside `choice.folder`, each file's name led by its place in the list.
/// `count`: how many entries the list holds (negative when unknown).
QList<DownloadRequest> makeListRequests(const DownloadChoice &choice, const QString &listTitle,
                                        const QList<PlaylistEntry> &entries, int count);
