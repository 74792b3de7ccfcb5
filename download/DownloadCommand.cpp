// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadCommand.h"

#include <QCoreApplication>

#include <algorithm>
#include <iterator>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "download/TitleNaming.h"
#include "tools/ShellCommand.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;

namespace {
// A ready-made choice asks the downloader to pick the formats itself: no listing needed.
void applyQualityChoice(DownloadRequest &request, const DownloadChoice &choice)
{
    // The best picture joined with the best sound, or the best single file where the site
    // offers them only together.
    const QString pictureAndSound = u"bv*+ba/b"_s;
    const QString container = choice.container.isEmpty() ? u"mkv"_s : choice.container;
    switch (choice.quality) {
    case QualityChoice::Best:
    case QualityChoice::UpTo1080:
    case QualityChoice::UpTo720:
        request.formatIDs = {pictureAndSound};
        request.mergeOutputFormat = container;
        request.formatSort = choice.quality == QualityChoice::UpTo1080 ? u"res:1080"_s
            : choice.quality == QualityChoice::UpTo720                 ? u"res:720"_s
                                                                       : QString();
        break;
    case QualityChoice::Mp4Compatible:
        // What every player reads: H.264 picture and AAC sound, in mp4 whatever the
        // Preferences say.
        request.formatIDs = {pictureAndSound};
        request.formatSort = u"vcodec:h264,acodec:aac"_s;
        request.mergeOutputFormat = u"mp4"_s;
        break;
    case QualityChoice::AudioMp3:
    case QualityChoice::AudioOriginal:
        // "best" keeps the stream as it is, only moved into a file of its own kind. Nothing
        // but the sound was fetched, so nothing else is kept.
        request.formatIDs = {u"ba/b"_s};
        request.audio = true;
        request.audioFormat = choice.quality == QualityChoice::AudioMp3 ? u"mp3"_s : u"best"_s;
        request.audioPreserveVideo = ControlState::Off;
        break;
    case QualityChoice::Ticked:
        break;
    }
}

// The subtitles, and what goes into the file. Each needs the converter, which the command
// names only once.
QString subtitleAndEmbedOptions(const DownloadRequest &request)
{
    QString options;
    const SubtitleRequest &subtitles = request.subtitles;
    if (!subtitles.languages.isEmpty()) {
        if (subtitles.regular) {
            options += u" --write-subs"_s;
        }
        if (subtitles.automatic) {
            options += u" --write-auto-subs"_s;
        }
        // The downloader reads each code as a regular expression: the description's codes
        // were kept only when made of letters, digits, "-" and "_".
        options += u" --sub-langs "_s + shellQuote(subtitles.languages.join(u','));
        // Without it the embedded subtitles would also stay beside the video.
        options += subtitles.embed ? u" --embed-subs --compat-options no-keep-subs"_s
                                   : u" --convert-subs srt"_s;
        // Otherwise one subtitle that the site refuses fails the whole download.
        options += u" --ignore-errors"_s;
    }
    const EmbedChoice &embed = request.embed;
    if (embed.metadata) {
        options += u" --embed-metadata"_s;
    }
    if (embed.thumbnail) {
        options += u" --embed-thumbnail"_s;
    }
    if (embed.chapters) {
        options += u" --embed-chapters"_s;
    }
    const bool converterNamed = !request.mergeOutputFormat.isEmpty() || request.audio;
    if (!options.isEmpty() && !converterNamed) {
        options += u" --ffmpeg-location "_s + shellQuote(request.ffmpegPath);
    }
    return options;
}

std::optional<formatYoutube> bestListedAudio(const QList<formatYoutube> &listed)
{
    std::optional<formatYoutube> best;
    for (const formatYoutube &format : listed) {
        if (format.kind == FormatKind::AudioOnly && (!best || format.bitRate > best->bitRate)) {
            best = format;
        }
    }
    return best;
}

void applyTickedFormats(DownloadRequest &request, const DownloadChoice &choice)
{
    // An audio download keeps the sound alone: nothing to merge.
    const bool merge = !choice.mergeContainer.isEmpty() && !request.audio;
    const FormatSelection selection = selectFormats(choice.ticked, choice.listed,
                                                    request.audio ? FormatUse::Audio
                                                        : merge   ? FormatUse::Merged
                                                                  : FormatUse::AsTicked);
    request.formatIDs = selection.ids;
    request.note = selectionNote(selection);
    if (merge
        && std::any_of(request.formatIDs.cbegin(), request.formatIDs.cend(),
                       [](const QString &id) { return id.contains(u'+'); })) {
        request.mergeOutputFormat = choice.mergeContainer;
    }
}

// The kind of the file made when it cannot hold a picture ("webm", "wav"); empty otherwise.
QString thumbnailRefusingContainer(const DownloadRequest &request, const DownloadChoice &choice)
{
    const QString webm = u"webm"_s;
    if (request.audio) {
        return request.audioFormat == u"wav"_s ? request.audioFormat : QString();
    }
    if (request.mergeOutputFormat == webm) {
        return webm;
    }
    const bool asTicked
        = choice.quality == QualityChoice::Ticked && request.mergeOutputFormat.isEmpty();
    return asTicked
            && std::any_of(choice.ticked.cbegin(), choice.ticked.cend(),
                           [&webm](const formatYoutube &f) { return f.codec == webm; })
        ? webm
        : QString();
}
} // namespace

QList<QualityChoice> qualityChoices()
{
    return {QualityChoice::Best,    QualityChoice::Mp4Compatible, QualityChoice::UpTo1080,
            QualityChoice::UpTo720, QualityChoice::AudioMp3,      QualityChoice::AudioOriginal,
            QualityChoice::Ticked};
}

QString qualityChoiceId(QualityChoice choice)
{
    switch (choice) {
    case QualityChoice::Best:
        return u"best"_s;
    case QualityChoice::Mp4Compatible:
        return u"mp4"_s;
    case QualityChoice::UpTo1080:
        return u"1080p"_s;
    case QualityChoice::UpTo720:
        return u"720p"_s;
    case QualityChoice::AudioMp3:
        return u"mp3"_s;
    case QualityChoice::AudioOriginal:
        return u"audio"_s;
    case QualityChoice::Ticked:
        return u"ticked"_s;
    }
    return {};
}

QualityChoice qualityChoiceFromId(const QString &id)
{
    const QList<QualityChoice> choices = qualityChoices();
    const auto found = std::find_if(choices.cbegin(), choices.cend(),
                                    [&id](QualityChoice c) { return qualityChoiceId(c) == id; });
    return found != choices.cend() ? *found : QualityChoice::Best;
}

QString qualityChoiceText(QualityChoice choice)
{
    switch (choice) {
    case QualityChoice::Best:
        return QCoreApplication::translate("DownloadPanel", "Meilleure qualité (image et son)");
    case QualityChoice::Mp4Compatible:
        return QCoreApplication::translate("DownloadPanel", "MP4 compatible (H.264 et AAC)");
    case QualityChoice::UpTo1080:
        return QCoreApplication::translate("DownloadPanel", "1080p au plus");
    case QualityChoice::UpTo720:
        return QCoreApplication::translate("DownloadPanel", "720p au plus");
    case QualityChoice::AudioMp3:
        return QCoreApplication::translate("DownloadPanel", "Audio MP3");
    case QualityChoice::AudioOriginal:
        return QCoreApplication::translate("DownloadPanel", "Audio d'origine (sans conversion)");
    case QualityChoice::Ticked:
        return QCoreApplication::translate("DownloadPanel", "Formats cochés");
    }
    return {};
}

DownloadRequest makeDownloadRequest(const DownloadChoice &choice)
{
    DownloadRequest request;
    request.youtubeDLPath = youtubeDLPath().value_or(QString());
    request.ffmpegPath = ffmpegPath().value_or(QString());
    request.folder = choice.folder;
    request.address = choice.address;
    request.audio = choice.mode == DownloadMode::Audio;
    request.audioFormat = choice.audio.format;
    request.audioQuality = choice.audio.quality;
    request.audioPreserveVideo = choice.audio.preserveVideo;
    request.options = choice.options;
    request.naming = choice.naming;
    request.downloadArchive = choice.downloadArchive;
    request.subtitles = choice.subtitles;
    request.embed = choice.embed;
    if (!request.audio && choice.quality != QualityChoice::Ticked) {
        applyQualityChoice(request, choice);
    } else {
        applyTickedFormats(request, choice);
    }
    // Nothing but the sound is kept: the subtitles go beside it.
    if (request.audio) {
        request.subtitles.embed = false;
    }
    const QString withoutThumbnail = thumbnailRefusingContainer(request, choice);
    if (request.embed.thumbnail && !withoutThumbnail.isEmpty()) {
        request.embed.thumbnail = false;
        const QString said
            = QObject::tr("Miniature non intégrée : un fichier %1 ne peut pas la contenir")
                  .arg(withoutThumbnail);
        request.note = request.note.isEmpty() ? said : request.note + u" ; "_s + said;
    }
    return request;
}

FormatSelection selectFormats(const QList<formatYoutube> &ticked,
                              const QList<formatYoutube> &listed, FormatUse use)
{
    FormatSelection selection;
    QList<formatYoutube> kept;
    QStringList seen;
    for (const formatYoutube &format : ticked) {
        if (seen.contains(format.formatID)) {
            continue;
        }
        seen << format.formatID;
        // The downloader would fail on a format it has no sound to extract from.
        if (use == FormatUse::Audio && format.kind == FormatKind::VideoOnly) {
            selection.withoutSound << format.formatID;
        } else {
            kept << format;
        }
    }
    const auto has = [&kept](FormatKind kind) {
        return std::any_of(kept.cbegin(), kept.cend(),
                           [kind](const formatYoutube &f) { return f.kind == kind; });
    };
    const bool merge = use == FormatUse::Merged;
    // A picture ticked alone would be downloaded silent: it takes the best sound offered.
    const std::optional<formatYoutube> added
        = merge && has(FormatKind::VideoOnly) && !has(FormatKind::AudioOnly)
        ? bestListedAudio(listed)
        : std::nullopt;
    if (added) {
        kept << *added;
    }
    selection.ids = requestedFormats(kept, merge);
    if (added) {
        std::copy_if(selection.ids.cbegin(), selection.ids.cend(),
                     std::back_inserter(selection.pairedWithListed),
                     [](const QString &id) { return id.contains(u'+'); });
    }
    return selection;
}

QString selectionNote(const FormatSelection &selection)
{
    QStringList parts;
    if (!selection.pairedWithListed.isEmpty()) {
        parts << QObject::tr("Aucun format audio coché : réuni au meilleur son proposé (%1)")
                     .arg(selection.pairedWithListed.join(u", "_s));
    }
    if (!selection.withoutSound.isEmpty()) {
        parts << QObject::tr("Formats sans son laissés de côté : %1")
                     .arg(selection.withoutSound.join(u", "_s));
    }
    return parts.join(u" ; "_s);
}

QStringList requestedFormats(const QList<formatYoutube> &ticked, bool merge)
{
    const auto bestAudio = std::max_element(
        ticked.cbegin(), ticked.cend(), [](const formatYoutube &a, const formatYoutube &b) {
            return (a.kind == FormatKind::AudioOnly ? a.bitRate : -1.0)
                < (b.kind == FormatKind::AudioOnly ? b.bitRate : -1.0);
        });
    const bool joinable = merge && bestAudio != ticked.cend()
        && bestAudio->kind == FormatKind::AudioOnly
        && std::any_of(ticked.cbegin(), ticked.cend(),
                       [](const formatYoutube &f) { return f.kind == FormatKind::VideoOnly; });
    QStringList ids;
    for (const formatYoutube &format : ticked) {
        if (!joinable || format.kind == FormatKind::VideoAndAudio) {
            ids << format.formatID;
        } else if (format.kind == FormatKind::VideoOnly) {
            ids << format.formatID + u'+' + bestAudio->formatID;
        }
    }
    return ids;
}

QString folderRefusal(const QString &folder)
{
    // The downloader would create a missing folder: one removed meanwhile, or one whose name
    // is not UTF-8 and so came back from the chooser as another name.
    if (!QFileInfo(folder).isDir()) {
        return QObject::tr("Dossier introuvable : %1").arg(folder);
    }
    // The downloader replaces "$NAME" and "${NAME}" in its output template by the
    // environment's values ("$$" and a lone "$" stay), and nothing in the template can
    // prevent it: such a folder would send the files elsewhere.
    static const QRegularExpression variable(u"\\$[\\w{]"_s,
                                             QRegularExpression::UseUnicodePropertiesOption);
    if (folder.contains(variable)) {
        return QObject::tr("Dossier refusé : le téléchargeur remplacerait « $ » suivi d'un nom "
                           "dans « %1 » ; choisissez un dossier sans ce signe")
            .arg(folder);
    }
    return {};
}

QString outputTemplate(FileNaming naming, const QString &namePrefix)
{
    QString pattern;
    switch (naming) {
    case FileNaming::TitleAndCode:
        pattern = u"%(title)s [%(format_id)s].%(ext)s"_s;
        break;
    case FileNaming::Title:
        pattern = titleOnlyTemplate();
        break;
    case FileNaming::TitleCodeAndFormat:
        // What stored files and the users' own scripts expect: keep it as it is.
        pattern = u"%(title)s%(format_id)s%(format)s.%(ext)s"_s;
        break;
    }
    // Inside the quoted word of "-o", and read as a template: nothing but digits and "-".
    // Before the title, so that a name marked by the title-only naming keeps it once
    // unmarked.
    QString prefix;
    std::copy_if(namePrefix.cbegin(), namePrefix.cend(), std::back_inserter(prefix),
                 [](QChar c) { return (c >= u'0' && c <= u'9') || c == u'-'; });
    return pattern.replace(u"%(title)s"_s, prefix + u"%(title)s"_s);
}

QString downloadArchivePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder + u"/archive.txt"_s;
}

QString folderWithSlash(const QString &folder)
{
    if (folder.endsWith(u'/')) {
        return folder;
    }
    return folder + u'/';
}

QString audioQualityText(qint32 quality)
{
    // The smallest qint32 has no positive counterpart in 32 bits.
    const qint64 magnitude = qAbs(static_cast<qint64>(quality));
    QString text = QString::number(magnitude);
    if (magnitude > 9) {
        text += u'k';
    }
    return text;
}

QString composeDownloadCommand(const DownloadRequest &request)
{
    const QString formats = request.formatIDs.isEmpty() ? u"best"_s : request.formatIDs.join(u',');

    // The folder and the template form one word, so that a folder can never end the word
    // early; every other outside text is a word of its own. A "%" in the folder is doubled:
    // the downloader would read "%(title)s" in a folder name as a field of the template and
    // write somewhere else.
    const QString folder = QString(folderWithSlash(request.folder)).replace(u'%', u"%%"_s);
    QString command = shellQuote(request.youtubeDLPath) + u" -o "_s
        + shellQuote(folder + outputTemplate(request.naming, request.namePrefix))
        + u" --restrict-filenames -f "_s + shellQuote(formats)
        + (request.continuePartial ? u" --continue"_s : u" --no-continue"_s)
        + u" --youtube-skip-dash-manifest"_s;
    // A file at a marked name, left by a run cut short, is kept and counted as downloaded.
    if (request.naming == FileNaming::Title) {
        command += u" --no-overwrites"_s;
    }
    if (!request.mergeOutputFormat.isEmpty()) {
        command += u" --merge-output-format "_s + shellQuote(request.mergeOutputFormat)
            + u" --ffmpeg-location "_s + shellQuote(request.ffmpegPath);
    }
    if (request.audio) {
        command += u" -x --ffmpeg-location "_s + shellQuote(request.ffmpegPath)
            + u" --audio-format "_s + shellQuote(request.audioFormat) + u" --audio-quality "_s
            + shellQuote(audioQualityText(request.audioQuality));
        if (request.audioPreserveVideo == ControlState::On) {
            command += u" -k"_s;
        }
    }
    if (!request.formatSort.isEmpty()) {
        command += u" -S "_s + shellQuote(request.formatSort);
    }
    command += subtitleAndEmbedOptions(request);
    // "--print" would make the downloader quiet, and the one of March 2023 cannot be told
    // otherwise: the list goes to a file. Its name is read as a template, like "-o".
    if (!request.finalFilesList.isEmpty()) {
        command += u" --print-to-file 'after_move:filepath' "_s
            + shellQuote(QString(request.finalFilesList).replace(u'%', u"%%"_s));
    }
    // The archive's name is no template ("%" stays as it is); the downloader would expand a
    // "$NAME" in it, but it lies in Quorvel's own data folder.
    if (!request.downloadArchive.isEmpty()) {
        command += u" --download-archive "_s + shellQuote(request.downloadArchive);
    }
    command += composeDownloaderOptions(request.options);
    // After "--" the downloader takes the address as data even when it begins with "-".
    command += u" -- "_s + shellQuote(request.address);
    return command;
}

SubtitleRequest subtitleRequest(const QList<SubtitleLanguage> &offered, const QStringList &ticked,
                                bool embed)
{
    SubtitleRequest request;
    request.embed = embed;
    for (const SubtitleLanguage &language : offered) {
        if (!ticked.contains(language.code) || request.languages.contains(language.code)) {
            continue;
        }
        request.languages << language.code;
        (language.automatic ? request.automatic : request.regular) = true;
    }
    return request;
}
