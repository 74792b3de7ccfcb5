// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include "catalogue/formatYoutube.h"
#include "tools/Cookies.h"

class QSettings;

/// The three settings of an audio download, as the download reads them.
struct AudioSettings
{
    QString format;
    qint32 quality = 0;
    ControlState preserveVideo = ControlState::On;
};

/// What the downloader puts into the file beside picture and sound: the title and other
/// details, the picture (which a webm file cannot hold), the chapters. All off unless stored.
struct EmbedChoice
{
    bool metadata = false;
    bool thumbnail = false;
    bool chapters = false;

    bool operator==(const EmbedChoice &) const = default;
};

/// How the downloaded files are named: the downloader's long name (title, format code and
/// format description), the title and the code, or the title alone, numbered rather than
/// ever replacing a file.
enum class FileNaming { TitleCodeAndFormat, TitleAndCode, Title };

/// The audio-extraction settings, with every key and seeded value in one place. Wraps a
/// QSettings owned by the caller (the application's own store, or a test's file).
class Settings final
{
public:
    static constexpr char16_t audioFormatKey[] = u"AudioFormat";
    static constexpr char16_t audioQualityKey[] = u"AudioQuality";
    static constexpr char16_t audioPreserveVideoKey[] = u"AudioPreserveVideo";
    static constexpr char16_t downloaderChannelKey[] = u"DownloaderChannel";
    static constexpr char16_t mergeVideoAndAudioKey[] = u"MergeVideoAndAudio";
    static constexpr char16_t mergeContainerKey[] = u"MergeContainer";
    static constexpr char16_t downloadChoiceKey[] = u"DownloadChoice";
    static constexpr char16_t lastFolderKey[] = u"LastFolder";
    static constexpr char16_t windowGeometryKey[] = u"WindowGeometry";
    static constexpr char16_t columnWidthsKey[] = u"ColumnWidths";
    static constexpr char16_t fileNamingKey[] = u"FileNaming";
    static constexpr char16_t simultaneousDownloadsKey[] = u"SimultaneousDownloads";
    static constexpr char16_t resumeAtStartKey[] = u"ResumeAtStart";
    static constexpr char16_t skipDownloadedKey[] = u"SkipDownloaded";
    static constexpr char16_t cookieSourceKey[] = u"CookieSource";
    static constexpr char16_t cookieBrowserKey[] = u"CookieBrowser";
    static constexpr char16_t cookieProfileKey[] = u"CookieProfile";
    static constexpr char16_t cookieFileKey[] = u"CookieFile";
    static constexpr char16_t subtitleLanguagesKey[] = u"SubtitleLanguages";
    static constexpr char16_t subtitlesEmbeddedKey[] = u"SubtitlesEmbedded";
    static constexpr char16_t embedMetadataKey[] = u"EmbedMetadata";
    static constexpr char16_t embedThumbnailKey[] = u"EmbedThumbnail";
    static constexpr char16_t embedChaptersKey[] = u"EmbedChapters";

    static QString seededAudioFormat();
    static constexpr qint32 seededAudioQuality = 0;
    static constexpr ControlState seededAudioPreserveVideo = ControlState::On;
    /// The highest audio quality accepted as typed, in kbit/s: stereo 24-bit 192 kHz PCM
    /// takes 9216, so a larger number can only be a slip of the finger.
    static constexpr qint32 highestAudioBitRate = 9999;

    /// The audio quality that a person typed: ASCII digits only, blanks around them
    /// ignored, from 0 to highestAudioBitRate. Anything else (a sign, a decimal point, an
    /// exponent, other digits) gives nothing rather than some other number.
    static std::optional<qint32> audioQualityFromText(QStringView text);

    explicit Settings(QSettings &store);

    /// First launch: when "AudioFormat" holds no value, stores the three seeded values and
    /// returns true. Only "AudioFormat" is looked at: a later missing key is not re-created.
    bool seedIfAbsent();

    // Readers fall back to the seeded value when a key is missing or does not convert
    // (possible only when the store was edited by hand).
    QString audioFormat() const;
    qint32 audioQuality() const;
    /// The stored control state (on, off, mixed, or whatever other number is stored).
    ControlState audioPreserveVideo() const;
    /// The three, read in this order.
    AudioSettings audioSettings() const;

    /// The downloader's release channel that an update fetches: "stable" (unless "nightly"
    /// is stored).
    QString downloaderChannel() const;

    /// "Réunir l'image et le son" (off unless stored on), and the container to merge into:
    /// "mkv" unless "mp4" is stored.
    bool mergeVideoAndAudio() const;
    QString mergeContainer() const;
    /// What the download button fetches, as the name the session gives it; empty when none
    /// is stored.
    QString downloadChoice() const;
    void setDownloadChoice(const QString &choice);

    /// The long name unless "title-code" or "title" is stored.
    FileNaming fileNaming() const;
    void setFileNaming(FileNaming naming);

    /// "Téléchargements simultanés": how many downloads of the queue run at once, from 1 to 8
    /// (2 unless another is stored; a stored number outside is brought within).
    int simultaneousDownloads() const;
    void setSimultaneousDownloads(int count);
    /// "Reprendre au démarrage": whether the downloads that a quit or a crash interrupted
    /// resume at the next start (off unless stored on).
    bool resumeAtStart() const;
    void setResumeAtStart(bool resume);
    /// "Ne pas retélécharger ce qui l'a déjà été": whether downloads skip the videos that the
    /// download archive names (off unless stored on).
    bool skipDownloaded() const;
    void setSkipDownloaded(bool skip);

    /// The "Cookies" part of the Preferences: none unless another source is stored. Names and
    /// paths only.
    CookieChoice cookieChoice() const;
    void setCookieChoice(const CookieChoice &choice);
    /// The subtitle languages ticked on the video card ("fr", "en-US"), remembered from one
    /// video to the next, in the order ticked; and whether they go into the video ("Intégrés à
    /// la vidéo") rather than beside it as .srt files (off unless stored on).
    QStringList subtitleLanguages() const;
    void setSubtitleLanguages(const QStringList &languages);
    bool subtitlesEmbedded() const;
    void setSubtitlesEmbedded(bool embedded);
    /// "Intégrer les métadonnées", "Intégrer la miniature", "Intégrer les chapitres".
    EmbedChoice embedChoice() const;
    void setEmbedChoice(const EmbedChoice &embed);

    /// What the window remembers from one start to the next: the folder of the last
    /// download, its own size and place, the format table's column widths.
    QString lastFolder() const;
    QByteArray windowGeometry() const;
    QList<int> columnWidths() const;
    void setLastFolder(const QString &folder);
    void setWindowGeometry(const QByteArray &geometry);
    void setColumnWidths(const QList<int> &widths);

    void setAudioFormat(const QString &format);
    void setDownloaderChannel(const QString &channel);
    void setMergeVideoAndAudio(bool merge);
    void setMergeContainer(const QString &container);
    void setAudioQuality(qint32 quality);
    void setAudioPreserveVideo(ControlState state);

private:
    QSettings &m_store;
};
