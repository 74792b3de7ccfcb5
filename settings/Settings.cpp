// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "settings/Settings.h"

#include <algorithm>
#include <limits>
#include <optional>

#include <QSettings>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {
QString key(const char16_t *name)
{
    return QString::fromUtf16(name);
}

// A stored number as a 64-bit integer, whether the store kept it as a number or as text
// (INI files keep everything as text).
std::optional<qint64> storedInteger(const QSettings &store, const QString &name)
{
    const QVariant value = store.value(name);
    if (!value.isValid()) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 number = value.toString().trimmed().toLongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return number;
}
} // namespace

QString Settings::seededAudioFormat()
{
    return u"best"_s;
}

std::optional<qint32> Settings::audioQualityFromText(QStringView text)
{
    const QStringView digits = text.trimmed();
    // toInt() alone would also take a sign.
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) {
            return c >= u'0' && c <= u'9';
        })) {
        return std::nullopt;
    }
    bool ok = false;
    const qint32 quality = digits.toInt(&ok);
    if (!ok || quality > highestAudioBitRate) {
        return std::nullopt;
    }
    return quality;
}

Settings::Settings(QSettings &store)
    : m_store(store)
{
}

bool Settings::seedIfAbsent()
{
    if (m_store.contains(key(audioFormatKey))) {
        return false;
    }
    m_store.setValue(key(audioFormatKey), seededAudioFormat());
    m_store.setValue(key(audioQualityKey), seededAudioQuality);
    m_store.setValue(key(audioPreserveVideoKey), static_cast<int>(seededAudioPreserveVideo));
    return true;
}

QString Settings::audioFormat() const
{
    // A hand-edited "mp3, wav" comes back from an INI file as a list, which would reach the
    // downloader as an empty text: only a stored text is a format.
    const QVariant value = m_store.value(key(audioFormatKey));
    if (value.typeId() != QMetaType::QString) {
        return seededAudioFormat();
    }
    return value.toString();
}

qint32 Settings::audioQuality() const
{
    const auto number = storedInteger(m_store, key(audioQualityKey));
    if (!number || *number < std::numeric_limits<qint32>::min()
        || *number > std::numeric_limits<qint32>::max()) {
        return seededAudioQuality;
    }
    return static_cast<qint32>(*number);
}

ControlState Settings::audioPreserveVideo() const
{
    const auto number = storedInteger(m_store, key(audioPreserveVideoKey));
    if (!number || *number < std::numeric_limits<int>::min()
        || *number > std::numeric_limits<int>::max()) {
        return seededAudioPreserveVideo;
    }
    return static_cast<ControlState>(*number);
}

AudioSettings Settings::audioSettings() const
{
    AudioSettings audio;
    audio.format = audioFormat();
    audio.quality = audioQuality();
    audio.preserveVideo = audioPreserveVideo();
    return audio;
}

QString Settings::downloaderChannel() const
{
    const QString stored = m_store.value(key(downloaderChannelKey)).toString();
    return stored == u"nightly"_s ? stored : u"stable"_s;
}

bool Settings::mergeVideoAndAudio() const
{
    return m_store.value(key(mergeVideoAndAudioKey)).toString() == u"true"_s;
}

QString Settings::mergeContainer() const
{
    const QString stored = m_store.value(key(mergeContainerKey)).toString();
    return stored == u"mp4"_s ? stored : u"mkv"_s;
}

// Stored as words, so that a hand-edited store stays readable.
FileNaming Settings::fileNaming() const
{
    const QString stored = m_store.value(key(fileNamingKey)).toString();
    if (stored == u"title-code"_s) {
        return FileNaming::TitleAndCode;
    }
    return stored == u"title"_s ? FileNaming::Title : FileNaming::TitleCodeAndFormat;
}

int Settings::simultaneousDownloads() const
{
    bool number = false;
    const int stored = m_store.value(key(simultaneousDownloadsKey)).toInt(&number);
    return number ? std::clamp(stored, 1, 8) : 2;
}

void Settings::setSimultaneousDownloads(int count)
{
    m_store.setValue(key(simultaneousDownloadsKey), std::clamp(count, 1, 8));
}

bool Settings::resumeAtStart() const
{
    return m_store.value(key(resumeAtStartKey)).toString() == u"true"_s;
}

void Settings::setResumeAtStart(bool resume)
{
    m_store.setValue(key(resumeAtStartKey), resume);
}

bool Settings::skipDownloaded() const
{
    return m_store.value(key(skipDownloadedKey)).toString() == u"true"_s;
}

void Settings::setSkipDownloaded(bool skip)
{
    m_store.setValue(key(skipDownloadedKey), skip);
}

CookieChoice Settings::cookieChoice() const
{
    CookieChoice choice;
    choice.source = cookieSourceFromId(m_store.value(key(cookieSourceKey)).toString());
    choice.browser = m_store.value(key(cookieBrowserKey)).toString();
    choice.profile = m_store.value(key(cookieProfileKey)).toString();
    choice.file = m_store.value(key(cookieFileKey)).toString();
    return choice;
}

void Settings::setCookieChoice(const CookieChoice &choice)
{
    m_store.setValue(key(cookieSourceKey), cookieSourceId(choice.source));
    m_store.setValue(key(cookieBrowserKey), choice.browser);
    m_store.setValue(key(cookieProfileKey), choice.profile);
    m_store.setValue(key(cookieFileKey), choice.file);
}

QStringList Settings::subtitleLanguages() const
{
    return m_store.value(key(subtitleLanguagesKey)).toStringList();
}

void Settings::setSubtitleLanguages(const QStringList &languages)
{
    m_store.setValue(key(subtitleLanguagesKey), languages);
}

bool Settings::subtitlesEmbedded() const
{
    return m_store.value(key(subtitlesEmbeddedKey)).toString() == u"true"_s;
}

void Settings::setSubtitlesEmbedded(bool embedded)
{
    m_store.setValue(key(subtitlesEmbeddedKey), embedded);
}

EmbedChoice Settings::embedChoice() const
{
    const auto on
        = [this](const char16_t *name) { return m_store.value(key(name)).toString() == u"true"_s; };
    return {on(embedMetadataKey), on(embedThumbnailKey), on(embedChaptersKey)};
}

void Settings::setEmbedChoice(const EmbedChoice &embed)
{
    m_store.setValue(key(embedMetadataKey), embed.metadata);
    m_store.setValue(key(embedThumbnailKey), embed.thumbnail);
    m_store.setValue(key(embedChaptersKey), embed.chapters);
}

void Settings::setFileNaming(FileNaming naming)
{
    m_store.setValue(key(fileNamingKey),
                     naming == FileNaming::TitleAndCode ? u"title-code"_s
                         : naming == FileNaming::Title  ? u"title"_s
                                                        : u"full"_s);
}

void Settings::setMergeVideoAndAudio(bool merge)
{
    m_store.setValue(key(mergeVideoAndAudioKey), merge);
}

void Settings::setMergeContainer(const QString &container)
{
    m_store.setValue(key(mergeContainerKey), container);
}

QString Settings::downloadChoice() const
{
    return m_store.value(key(downloadChoiceKey)).toString();
}

void Settings::setDownloadChoice(const QString &choice)
{
    m_store.setValue(key(downloadChoiceKey), choice);
}

QString Settings::lastFolder() const
{
    return m_store.value(key(lastFolderKey)).toString();
}

QByteArray Settings::windowGeometry() const
{
    return m_store.value(key(windowGeometryKey)).toByteArray();
}

QList<int> Settings::columnWidths() const
{
    QList<int> widths;
    for (const QString &width : m_store.value(key(columnWidthsKey)).toStringList()) {
        widths << width.toInt();
    }
    return widths;
}

void Settings::setLastFolder(const QString &folder)
{
    m_store.setValue(key(lastFolderKey), folder);
}

void Settings::setWindowGeometry(const QByteArray &geometry)
{
    m_store.setValue(key(windowGeometryKey), geometry);
}

void Settings::setColumnWidths(const QList<int> &widths)
{
    QStringList texts;
    for (const int width : widths) {
        texts << QString::number(width);
    }
    m_store.setValue(key(columnWidthsKey), texts);
}

void Settings::setDownloaderChannel(const QString &channel)
{
    m_store.setValue(key(downloaderChannelKey), channel);
}

void Settings::setAudioFormat(const QString &format)
{
    m_store.setValue(key(audioFormatKey), format);
}

void Settings::setAudioQuality(qint32 quality)
{
    m_store.setValue(key(audioQualityKey), quality);
}

void Settings::setAudioPreserveVideo(ControlState state)
{
    m_store.setValue(key(audioPreserveVideoKey), static_cast<int>(state));
}
