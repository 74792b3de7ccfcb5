// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/VideoDescriptionParser.h"

#include <algorithm>
#include <array>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// The downloader's own language preference of a video's original track; dubbed and default
// tracks rank below it.
constexpr int originalLanguagePreference = 10;

QString text(const QJsonObject &object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

// A positive number, or 0: the downloader writes null for what it does not know.
double positive(const QJsonObject &object, QLatin1StringView key)
{
    const double value = object.value(key).toDouble();
    return value > 0 ? value : 0;
}

// A byte count as the downloader's table writes it ("3.28MiB"), so that the table shows and
// sorts it as it does the listed sizes.
QString byteText(double bytes)
{
    static constexpr std::array units {u"B", u"KiB", u"MiB", u"GiB", u"TiB"};
    std::size_t unit = 0;
    while (bytes >= 1024 && unit + 1 < units.size()) {
        bytes /= 1024;
        ++unit;
    }
    return QString::number(bytes, 'f', 2) + QStringView(units.at(unit));
}

formatYoutube readFormat(const QJsonObject &object)
{
    formatYoutube format;
    format.formatID = text(object, "format_id"_L1);
    // "none" is the downloader's word for a stream the format lacks; null, for one unknown.
    format.kind = text(object, "vcodec"_L1) == u"none"_s ? FormatKind::AudioOnly
        : text(object, "acodec"_L1) == u"none"_s         ? FormatKind::VideoOnly
                                                         : FormatKind::VideoAndAudio;
    if (const double exact = positive(object, "filesize"_L1); exact > 0) {
        format.fileSize = byteText(exact);
    } else if (const double approximate = positive(object, "filesize_approx"_L1); approximate > 0) {
        format.fileSize = byteText(approximate);
        format.fileSizeApproximate = true;
    }
    format.bitRate = positive(object, "tbr"_L1);
    format.videoBitRate = positive(object, "vbr"_L1);
    format.audioBitRate = positive(object, "abr"_L1);
    format.fps = positive(object, "fps"_L1);
    format.dynamicRange = text(object, "dynamic_range"_L1);
    format.audioChannels = static_cast<int>(positive(object, "audio_channels"_L1));
    format.language = text(object, "language"_L1);
    const bool original
        = object.value("language_preference"_L1).toInt() >= originalLanguagePreference
        || text(object, "format_note"_L1).contains(u"original"_s, Qt::CaseInsensitive);
    if (!format.language.isEmpty() && original) {
        format.language += u" (original)"_s;
    }
    format.drm = object.value("has_drm"_L1).toBool();
    return format;
}

// The languages of one of the description's subtitle objects ("subtitles" or
// "automatic_captions"), in the object's order (by code), added to `languages` until the
// limit; a code already there is skipped.
void addSubtitleLanguages(const QJsonValue &value, bool automatic,
                          QList<SubtitleLanguage> &languages, QSet<QString> &codes)
{
    const QJsonObject object = value.toObject();
    for (auto it = object.constBegin();
         it != object.constEnd() && languages.size() < VideoDescription::subtitleLanguageLimit;
         ++it) {
        const QString code = it.key();
        if (!isSubtitleCode(code) || codes.contains(code)) {
            continue;
        }
        const QJsonArray tracks = it.value().toArray();
        QString name = tracks.isEmpty() ? QString() : text(tracks.first().toObject(), "name"_L1);
        languages.append({code, std::move(name), automatic});
        codes.insert(code);
    }
}

} // namespace

bool isSubtitleCode(QStringView code)
{
    static constexpr qsizetype longest = 32;
    if (code.isEmpty() || code.size() > longest || code.front() == u'-' || code.front() == u'_'
        || code == u"all"_s || code == u"live_chat"_s) {
        return false;
    }
    return std::all_of(code.begin(), code.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || c == u'-' || c == u'_';
    });
}

QUrl webAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http"_s || scheme == u"https"_s)
        ? url
        : QUrl();
}

std::optional<DescribedVideo> parseVideoDescription(QByteArrayView json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    DescribedVideo described;
    VideoDescription &video = described.video;
    video.described = true;
    video.title = text(object, "title"_L1);
    video.channel = text(object, "channel"_L1);
    if (video.channel.isEmpty()) {
        video.channel = text(object, "uploader"_L1);
    }
    if (const QJsonValue duration = object.value("duration"_L1); duration.isDouble()) {
        video.duration = duration.toDouble() >= 0 ? duration.toDouble() : -1;
    }
    if (const QString date = text(object, "upload_date"_L1); date.size() == 8) {
        video.uploadDate = QDate::fromString(date, u"yyyyMMdd"_s);
    }
    video.thumbnail = webAddress(text(object, "thumbnail"_L1));
    // A list's description holds its entries instead of formats; a flat listing writes them
    // as references only, and a lazy one leaves their number unknown.
    video.isPlaylist = text(object, "_type"_L1) == u"playlist"_s;
    if (video.isPlaylist) {
        video.playlistTitle = video.title;
        const QJsonValue entries = object.value("entries"_L1);
        if (const QJsonValue count = object.value("playlist_count"_L1); count.isDouble()) {
            video.playlistCount = std::max(count.toInt(-1), -1);
        } else if (entries.isArray()) {
            video.playlistCount = static_cast<int>(entries.toArray().size());
        }
    } else {
        video.playlistTitle = text(object, "playlist_title"_L1);
        if (video.playlistTitle.isEmpty()) {
            video.playlistTitle = text(object, "playlist"_L1);
        }
    }
    QSet<QString> subtitleCodes;
    addSubtitleLanguages(object.value("subtitles"_L1), false, video.subtitles, subtitleCodes);
    addSubtitleLanguages(object.value("automatic_captions"_L1), true, video.subtitles,
                         subtitleCodes);
    for (const QJsonValue value : object.value("formats"_L1).toArray()) {
        formatYoutube format = readFormat(value.toObject());
        if (!format.formatID.isEmpty()) {
            described.formats.insert(format.formatID, std::move(format));
        }
    }
    return described;
}

QList<formatYoutube> completedFormats(QList<formatYoutube> formats,
                                      const QHash<QString, formatYoutube> &described)
{
    for (formatYoutube &format : formats) {
        const auto found = described.constFind(format.formatID);
        if (found == described.cend()) {
            continue;
        }
        // The table's texts stay; the description's numbers are exact where the table rounds.
        format.kind = found->kind;
        if (!found->fileSize.isEmpty()) {
            format.fileSize = found->fileSize;
            format.fileSizeApproximate = found->fileSizeApproximate;
        }
        if (found->bitRate > 0) {
            format.bitRate = found->bitRate;
        }
        if (!found->language.isEmpty()) {
            format.language = found->language;
        }
        format.videoBitRate = found->videoBitRate;
        format.audioBitRate = found->audioBitRate;
        format.fps = found->fps;
        format.dynamicRange = found->dynamicRange;
        format.audioChannels = found->audioChannels;
        format.drm = found->drm;
    }
    return formats;
}

QString subtitleLanguageText(const SubtitleLanguage &language)
{
    // A code that QLocale does not know gives the C locale, whose name would be wrong.
    const QLocale locale(language.code);
    QString name = locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage
        ? QString()
        : locale.nativeLanguageName();
    // Without a region, the language alone: CLDR names English and Spanish after the country
    // of their default locale ("American English", "español de España").
    const QString region = language.code.section(u'-', 1, 1);
    const bool regionGiven = (region.size() == 2 && region.front().isLetter())
        || (region.size() == 3 && region.front().isDigit());
    if (!regionGiven && locale.language() == QLocale::English) {
        name = u"English"_s;
    } else if (!regionGiven && locale.language() == QLocale::Spanish) {
        name = u"español"_s;
    }
    if (name.isEmpty()) {
        name = language.name;
    }
    QString shown = name.isEmpty() ? language.code : language.code + u" — "_s + name;
    if (language.automatic) {
        shown += u" (automatique)"_s;
    }
    return shown;
}
