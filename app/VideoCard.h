// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QUrl>
#include <QWidget>

#include "catalogue/VideoDescription.h"

class QLabel;
class QSettings;
class SubtitlePicker;
class ThumbnailFetcher;

/// The last listed video above its formats: its picture, title, channel, length and date, or
/// that the downloader gave no details, and the subtitles it offers (SubtitlePicker). Hidden
/// until a listing, and again once it is cleared.
class VideoCard final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VideoCard)

public:
    /// The picture's size on the card, in pixels.
    static constexpr QSize pictureSize {160, 90};

    /// `store` keeps the subtitle choice; it must outlive the card.
    explicit VideoCard(QSettings &store, QWidget *parent = nullptr);

    /// Shows `video` in place of the one before; its picture follows once fetched.
    void showVideo(const VideoDescription &video);
    void clear();

    /// "4:07", "1:02:05"; empty when `seconds` is negative.
    static QString lengthText(double seconds);

private:
    void decode(const QUrl &address, const QString &path);
    void showPicture(const QUrl &address, const QImage &image);
    void showPlaceholder();

    ThumbnailFetcher *m_fetcher = nullptr;
    QLabel *m_picture = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_channel = nullptr;
    QLabel *m_details = nullptr;
    QLabel *m_missing = nullptr;
    SubtitlePicker *m_subtitles = nullptr;
    // The picture being waited for; a decoded one for another address is too late.
    QUrl m_thumbnail;
};
