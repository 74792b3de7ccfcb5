// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadCommand.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "tools/ShellCommand.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;

DownloadRequest makeDownloadRequest(DownloadMode mode, const QStringList &formatIDs,
                                    const QString &folder, const QString &address,
                                    const AudioSettings &audio, const QString &javaScriptRuntimes)
{
    DownloadRequest request;
    request.youtubeDLPath = youtubeDLPath().value_or(QString());
    request.ffmpegPath = ffmpegPath().value_or(QString());
    request.folder = folder;
    request.address = address;
    request.formatIDs = formatIDs;
    request.audio = mode == DownloadMode::Audio;
    request.audioFormat = audio.format;
    request.audioQuality = audio.quality;
    request.audioPreserveVideo = audio.preserveVideo;
    request.javaScriptRuntimes = javaScriptRuntimes;
    return request;
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

QString outputTemplate()
{
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
        + shellQuote(folder + outputTemplate()) + u" --restrict-filenames -f "_s
        + shellQuote(formats) + u" --no-continue --youtube-skip-dash-manifest"_s;
    if (request.audio) {
        command += u" -x --ffmpeg-location "_s + shellQuote(request.ffmpegPath)
            + u" --audio-format "_s + shellQuote(request.audioFormat) + u" --audio-quality "_s
            + shellQuote(audioQualityText(request.audioQuality));
        if (request.audioPreserveVideo == ControlState::On) {
            command += u" -k"_s;
        }
    }
    if (!request.javaScriptRuntimes.isEmpty()) {
        command += u" --js-runtimes "_s + shellQuote(request.javaScriptRuntimes);
    }
    // After "--" the downloader takes the address as data even when it begins with "-".
    command += u" -- "_s + shellQuote(request.address);
    return command;
}
