// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

/// Fetches a listed video's picture into the application's cache folder, one at a time: a new
/// fetch drops the one before, so that a late answer for an older video is never reported.
/// Only http and https are fetched (redirects too), at most sizeLimit bytes.
class ThumbnailFetcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ThumbnailFetcher)

public:
    static constexpr qint64 sizeLimit = 2 * 1024 * 1024;

    explicit ThumbnailFetcher(QObject *parent = nullptr);
    ~ThumbnailFetcher() override;

    /// The whole transfer is given up after this time (10 seconds unless set).
    void setTimeout(std::chrono::milliseconds timeout);
    /// Where the pictures are kept (defaultCacheFolder() unless set).
    void setCacheFolder(const QString &folder);
    /// The cache location's "thumbnails".
    static QString defaultCacheFolder();
    /// Where the picture of `address` is kept in `folder`, fetched or not.
    static QString cachePath(const QString &folder, const QUrl &address);
    /// The cached file when there is one, without a request; fetched() or failed() follows,
    /// from the event loop.
    void fetch(const QUrl &address);
    /// Drops the running fetch, if any.
    void stop();

signals:
    /// The picture is the file at `path`, not yet decoded.
    void fetched(const QUrl &address, const QString &path);
    void failed(const QUrl &address, const QString &message);

private:
    void receive();
    void transferEnded();
    void fail(const QString &message);

    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    QTimer *m_timer = nullptr;
    QString m_cacheFolder;
    QByteArray m_data;
    QUrl m_address;
    // Counts the fetches, so that one reported later from the event loop can be dropped.
    quint64 m_fetchNumber = 0;
};
