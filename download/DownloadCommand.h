// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "catalogue/VideoDescription.h"
#include "catalogue/formatYoutube.h"
#include "settings/Settings.h"
#include "tools/DownloaderOptions.h"

/// A plain download of the ticked formats, or one that extracts their audio.
enum class DownloadMode { Plain, Audio };

/// What the download button fetches: a ready-made choice that needs no listing, or the
/// ticked formats as they are. In the order the window offers them.
enum class QualityChoice {
    Best,
    Mp4Compatible,
    UpTo1080,
    UpTo720,
    AudioMp3,
    AudioOriginal,
    Ticked
};

/// Every choice, in the order offered.
QList<QualityChoice> qualityChoices();
/// The name a choice is stored under, which never changes with the wording shown.
QString qualityChoiceId(QualityChoice choice);
/// The choice stored under `id`; Best for an unknown or missing one.
QualityChoice qualityChoiceFromId(const QString &id);
/// The choice as the window offers it, in French ("Meilleure qualité (image et son)").
QString qualityChoiceText(QualityChoice choice);

/// The subtitles a download asks for: only languages that the video offers.
struct SubtitleRequest
{
    /// The codes, as the description gives them; empty: no subtitles.
    QStringList languages {};
    /// Some are made by a person ("--write-subs"), some are automatic ("--write-auto-subs").
    bool regular = false;
    bool automatic = false;
    /// Into the video ("--embed-subs"), rather than beside it as .srt files.
    bool embed = false;

    bool operator==(const SubtitleRequest &) const = default;
};

/// The subtitles to ask for: the `ticked` codes that `offered` holds, in the order offered.
SubtitleRequest subtitleRequest(const QList<SubtitleLanguage> &offered, const QStringList &ticked,
                                bool embed);

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
    DownloaderOptions options;
    /// The container ("mkv", "mp4") into which ffmpeg merges picture and sound ("137+140");
    /// empty: nothing is merged.
    QString mergeOutputFormat;
    /// The downloader's format sort ("res:720"); empty: its own order.
    QString formatSort;
    /// What to say of the formats asked for, in French (an audio format added, formats
    /// left out); empty: nothing.
    QString note;
    FileNaming naming = FileNaming::TitleCodeAndFormat;
    /// The file to which the downloader adds the path of each final file, one a line, once
    /// it is whole and in place (merged, converted, or found already there); empty: none.
    QString finalFilesList;
    /// Carries on from the partial files of an earlier run (--continue) instead of starting
    /// each file anew (--no-continue).
    bool continuePartial = false;
    /// Put before the title in the file's name: a list's entry's place ("007-"). Digits and
    /// "-" only; any other character is left out.
    QString namePrefix {};
    /// The downloader's archive (--download-archive): the videos it names are skipped, and
    /// each one downloaded is added; empty: none.
    QString downloadArchive {};
    /// The subtitles asked for; none unless told.
    SubtitleRequest subtitles {};
    /// What goes into the file beside picture and sound.
    EmbedChoice embed {};
};

/// What the user chose for one download.
struct DownloadChoice
{
    DownloadMode mode = DownloadMode::Plain;
    /// The ticked records, in list order.
    QList<formatYoutube> ticked;
    QString folder;
    QString address;
    /// As read before the folder was chosen.
    AudioSettings audio;
    /// "Réunir l'image et le son": the container to merge into; empty when not asked.
    QString mergeContainer;
    DownloaderOptions options;
    /// Of the plain download; the audio download always takes the ticked formats.
    QualityChoice quality = QualityChoice::Ticked;
    /// The Preferences' container, for the choices that always merge.
    QString container;
    /// Every listed record, ticked or not: where a lone picture finds its sound.
    QList<formatYoutube> listed;
    /// From the Preferences window.
    FileNaming naming = FileNaming::TitleCodeAndFormat;
    /// The download archive, when the Preferences ask to skip what was downloaded; empty
    /// otherwise.
    QString downloadArchive {};
    /// Of the listed video, when it is the one downloaded; none otherwise.
    SubtitleRequest subtitles {};
    /// From the Preferences window.
    EmbedChoice embed {};
};

/// The formats to ask for, and what became of the ticked ones on the way.
struct FormatSelection
{
    QStringList ids;
    /// Video-only codes joined with the best listed audio, which was not ticked ("137+140").
    QStringList pairedWithListed;
    /// Ticked codes without sound, left out of an audio download.
    QStringList withoutSound;
};

/// How the ticked formats are used.
enum class FormatUse { AsTicked, Merged, Audio };

/// The ticked formats to ask for, each code once (two listings of one address give it twice).
/// Merged: each video-only format joined with the best ticked audio format (the highest bit
/// rate, the first of equals), or, with none ticked, the best one `listed`. Audio: the formats
/// without sound left out.
FormatSelection selectFormats(const QList<formatYoutube> &ticked,
                              const QList<formatYoutube> &listed, FormatUse use);

/// The French line that says what selectFormats() changed; empty when nothing.
QString selectionNote(const FormatSelection &selection);

/// The request for one download, with the tools found at start-up.
DownloadRequest makeDownloadRequest(const DownloadChoice &choice);

/// The formats to ask for: when merging, each ticked video-only format joined with the best
/// ticked audio format (the highest bit rate, the first of equals): "137+140"; formats
/// that have sound stay as they are, and the audio formats are used up by the joins. Without
/// a video-only and an audio format to join, the ticked codes as they are.
QStringList requestedFormats(const QList<formatYoutube> &ticked, bool merge);

/// Why the downloader cannot be given this folder, in French; empty when it can. A folder
/// that does not exist (the downloader would create it) or whose name holds "$NAME" (the
/// downloader would replace it by the environment's value and write elsewhere) is refused.
QString folderRefusal(const QString &folder);

/// The output template that follows the folder inside the same quoted word, with
/// `namePrefix` (digits and "-" only; any other character is left out) before the title.
QString outputTemplate(FileNaming naming = FileNaming::TitleCodeAndFormat,
                       const QString &namePrefix = {});

/// Where the download archive is kept: "archive.txt" in the application's data folder,
/// which is made when missing (the downloader does not make it).
QString downloadArchivePath();

/// The folder text of the template: the folder with exactly one "/" at its end.
QString folderWithSlash(const QString &folder);

/// The --audio-quality value: the magnitude in decimal, with "k" above 9.
QString audioQualityText(qint32 quality);

/// The command line for "/bin/bash -c". Every outside piece is one quoted shell word, and the
/// address comes last, after "--".
QString composeDownloadCommand(const DownloadRequest &request);
