// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArrayView>
#include <QMetaType>
#include <QString>
#include <QUrl>

/// One video of a list (a playlist, or a channel's videos), as the downloader's flat
/// listing tells of it: one JSON object a line. Every text is the site's: shown as plain
/// text only, and used in a file name only through restrictedFileName().
struct PlaylistEntry
{
    /// Its place in the list, from 1.
    int index = 0;
    QString id {};
    QString title {};
    /// The video's own address, http or https only.
    QUrl url {};
    /// In seconds; negative when unknown.
    double duration = -1;
    /// The channel, or the uploader when the site has no channels.
    QString channel {};
    QString listTitle {};
    QString listId {};
};

/// The entry that one line of a flat listing describes; `order` (from 1) is its place when
/// the line does not say it. Nothing when the line is no JSON object, or names no web
/// address to download from.
std::optional<PlaylistEntry> parsePlaylistEntry(QByteArrayView line, int order);

/// Whether an address names a list as well as, or instead of, one video: a "list" query
/// item, or a path of a playlist, a channel or a user ("/playlist", "/channel/…", "/@name",
/// "/c/…", "/user/…"). Quorvel lists such an address as its one video unless told to list
/// the whole list.
bool addressNamesAList(const QUrl &address);
