// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/ThumbnailFetcher.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
bool isWebAddress(const QUrl &address)
{
    return address.isValid() && (address.scheme() == u"http"_s || address.scheme() == u"https"_s);
}
} // namespace

ThumbnailFetcher::ThumbnailFetcher(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_timer(new QTimer(this))
    , m_cacheFolder(defaultCacheFolder())
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(std::chrono::seconds(10));
    connect(m_timer, &QTimer::timeout, this,
            [this] { fail(tr("l'image n'est pas arrivée à temps")); });
}

ThumbnailFetcher::~ThumbnailFetcher()
{
    stop();
}

void ThumbnailFetcher::setTimeout(std::chrono::milliseconds timeout)
{
    m_timer->setInterval(timeout);
}

void ThumbnailFetcher::setCacheFolder(const QString &folder)
{
    m_cacheFolder = folder;
}

QString ThumbnailFetcher::defaultCacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + u"/thumbnails"_s;
}

QString ThumbnailFetcher::cachePath(const QString &folder, const QUrl &address)
{
    return folder + u'/'
        + QString::fromLatin1(
               QCryptographicHash::hash(address.toEncoded(), QCryptographicHash::Sha256).toHex());
}

void ThumbnailFetcher::fetch(const QUrl &address)
{
    stop();
    m_address = address;
    const quint64 number = ++m_fetchNumber;
    // A refusal or a cached file is reported from the event loop, as a transfer's end is, and
    // not at all once another fetch has begun.
    if (!isWebAddress(address)) {
        QTimer::singleShot(0, this, [this, number] {
            if (number == m_fetchNumber) {
                fail(tr("adresse d'image refusée"));
            }
        });
        return;
    }
    const QString path = cachePath(m_cacheFolder, address);
    if (QFileInfo(path).isFile()) {
        QTimer::singleShot(0, this, [this, number, address, path] {
            if (number == m_fetchNumber) {
                emit fetched(address, path);
            }
        });
        return;
    }
    QNetworkRequest request(address);
    // Each redirect is looked at first: a picture never comes from a file or another scheme.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    m_reply = m_network->get(request);
    m_reply->setReadBufferSize(sizeLimit);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl &target) {
        if (!isWebAddress(target)) {
            return fail(tr("redirection de l'image refusée"));
        }
        emit m_reply->redirectAllowed();
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > sizeLimit) {
            fail(tr("image trop grande"));
        }
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &ThumbnailFetcher::receive);
    connect(m_reply, &QNetworkReply::finished, this, &ThumbnailFetcher::transferEnded);
    m_timer->start();
}

void ThumbnailFetcher::stop()
{
    ++m_fetchNumber;
    m_timer->stop();
    m_data.clear();
    if (m_reply) {
        // Disconnected first: abort() finishes the reply at once, and nothing is reported.
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_address.clear();
}

void ThumbnailFetcher::receive()
{
    m_data += m_reply->readAll();
    if (m_data.size() > sizeLimit) {
        fail(tr("image trop grande"));
    }
}

void ThumbnailFetcher::transferEnded()
{
    receive();
    if (!m_reply) {
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        return fail(m_reply->errorString());
    }
    const QUrl address = m_address;
    const QString path = cachePath(m_cacheFolder, address);
    QDir().mkpath(m_cacheFolder);
    // Written whole or not at all, so that a cached file is always a whole answer.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_data) != m_data.size() || !file.commit()) {
        return fail(tr("écriture impossible dans « %1 »").arg(m_cacheFolder));
    }
    stop();
    emit fetched(address, path);
}

void ThumbnailFetcher::fail(const QString &message)
{
    if (m_address.isEmpty()) {
        return;
    }
    const QUrl address = m_address;
    stop();
    emit failed(address, message);
}
