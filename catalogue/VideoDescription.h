// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QUrl>

/// A language in which the site offers a video's subtitles.
struct SubtitleLanguage
{
    /// The site's code ("fr", "en-US", "pt-BR"): letters, digits, "-" and "_" only, never
    /// beginning with "-", which the downloader would read as "all but".
    QString code;
    /// The description's own name for it ("French"), plain text; empty when none.
    QString name {};
    /// Made by the site's speech recognition ("automatic_captions") rather than by a person.
    bool automatic = false;

    bool operator==(const SubtitleLanguage &) const = default;
};

/// As the video card shows it: "fr — français", "en — English (automatique)".
QString subtitleLanguageText(const SubtitleLanguage &language);

/// What the downloader tells of a listed video beside its formats, from its description in
/// JSON. Every text is the site's: shown as plain text only.
struct VideoDescription
{
    /// Whether the listing held a description at all: a downloader from before it could be
    /// asked for one gives the format table alone.
    bool described = false;
    QString title;
    /// The channel, or the uploader when the site has no channels.
    QString channel;
    /// In seconds; negative when unknown.
    double duration = -1;
    /// Invalid when unknown.
    QDate uploadDate;
    /// The picture's address, http or https only; empty when there is none.
    QUrl thumbnail;
    /// The address names a list (a playlist, or a channel's videos) rather than one video:
    /// `title` is then the list's, and the list's own entries are read by a PlaylistReader.
    bool isPlaylist = false;
    /// How many entries the list holds; negative when unknown.
    int playlistCount = -1;
    /// The list's title: the description's own for a list, the list that a video was
    /// described from otherwise; empty when none.
    QString playlistTitle {};
    /// The subtitle languages offered: those made by a person first, by code, then the
    /// automatic ones whose code is not among them, by code. Codes that the downloader would
    /// not read as themselves ("all", "live_chat", "-fr", "fr.*") are left out. At most
    /// subtitleLanguageLimit.
    QList<SubtitleLanguage> subtitles {};
    static constexpr qsizetype subtitleLanguageLimit = 300;
};
