// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadCommand.h"

#include <algorithm>

#include <QFileInfo>
#include <QRegularExpression>

#include "download/TitleNaming.h"
#include "tools/ShellCommand.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;

DownloadRequest makeDownloadRequest(const DownloadChoice &choice)
{
    DownloadRequest request;
    request.youtubeDLPath = youtubeDLPath().value_or(QString());
    request.ffmpegPath = ffmpegPath().value_or(QString());
    request.folder = choice.folder;
    request.address = choice.address;
    request.audio = choice.mode == DownloadMode::Audio;
    // An audio download keeps the sound alone: nothing to merge.
    const bool merge = !choice.mergeContainer.isEmpty() && !request.audio;
    request.formatIDs = requestedFormats(choice.ticked, merge);
    if (merge
        && std::any_of(request.formatIDs.cbegin(), request.formatIDs.cend(),
                       [](const QString &id) { return id.contains(u'+'); })) {
        request.mergeOutputFormat = choice.mergeContainer;
    }
    request.audioFormat = choice.audio.format;
    request.audioQuality = choice.audio.quality;
    request.audioPreserveVideo = choice.audio.preserveVideo;
    request.options = choice.options;
    request.naming = choice.naming;
    return request;
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

QString outputTemplate(FileNaming naming)
{
    switch (naming) {
    case FileNaming::TitleAndCode:
        return u"%(title)s [%(format_id)s].%(ext)s"_s;
    case FileNaming::Title:
        return titleOnlyTemplate();
    case FileNaming::TitleCodeAndFormat:
        break;
    }
    // What stored files and the users' own scripts expect: keep it as it is.
    return u"%(title)s%(format_id)s%(format)s.%(ext)s"_s;
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
        + shellQuote(folder + outputTemplate(request.naming)) + u" --restrict-filenames -f "_s
        + shellQuote(formats) + u" --no-continue --youtube-skip-dash-manifest"_s;
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
    command += composeDownloaderOptions(request.options);
    // After "--" the downloader takes the address as data even when it begins with "-".
    command += u" -- "_s + shellQuote(request.address);
    return command;
}
