// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadCommand.h"

#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

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
        if (request.audioPreserveVideo == 1) {
            command += u" -k"_s;
        }
    }
    // After "--" the downloader takes the address as data even when it begins with "-".
    command += u" -- "_s + shellQuote(request.address);
    return command;
}
