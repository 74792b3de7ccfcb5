// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/VideoCard.h"

#include <memory>

#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QThread>
#include <QVBoxLayout>

#include "app/PlainLabel.h"
#include "app/SubtitlePicker.h"
#include "catalogue/ThumbnailFetcher.h"
#include "tools/PlainText.h"

using namespace Qt::StringLiterals;

namespace {
// Decodes in the calling thread: at most the card's size, whatever the file announces.
QImage readPicture(const QString &path)
{
    QImageReader reader(path);
    reader.setAllocationLimit(64);
    const QSize size = reader.size();
    if (size.isValid()) {
        reader.setScaledSize(size.scaled(VideoCard::pictureSize, Qt::KeepAspectRatio));
    }
    return reader.read();
}
} // namespace

VideoCard::VideoCard(QSettings &store, QWidget *parent)
    : QWidget(parent)
    , m_fetcher(new ThumbnailFetcher(this))
    , m_picture(new QLabel(this))
    , m_title(plainWrappingLabel(u"videoTitleLabel"_s, tr("Titre de la vidéo"), this))
    , m_channel(plainWrappingLabel(u"videoChannelLabel"_s, tr("Chaîne"), this))
    , m_details(plainWrappingLabel(u"videoDetailsLabel"_s, tr("Durée et date"), this))
    , m_missing(plainWrappingLabel(u"videoMissingLabel"_s, tr("Détails de la vidéo"), this))
    , m_subtitles(new SubtitlePicker(store, this))
{
    m_picture->setObjectName(u"videoPictureLabel"_s);
    m_picture->setAccessibleName(tr("Image de la vidéo"));
    m_picture->setFixedSize(pictureSize);
    m_picture->setAlignment(Qt::AlignCenter);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    // The title can be selected and copied, from the keyboard too; Tab reaches it.
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_missing->setText(tr("Détails de la vidéo indisponibles : le téléchargeur n'en donne pas"));
    connect(m_fetcher, &ThumbnailFetcher::fetched, this, &VideoCard::decode);
    connect(m_fetcher, &ThumbnailFetcher::failed, this, &VideoCard::showPlaceholder);
    auto *texts = new QVBoxLayout;
    for (QLabel *label : {m_title, m_channel, m_details, m_missing}) {
        texts->addWidget(label);
    }
    texts->addWidget(m_subtitles);
    texts->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(m_picture, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    clear();
}

void VideoCard::showVideo(const VideoDescription &video)
{
    m_title->setText(shownText(video.title));
    m_channel->setText(shownText(video.channel));
    QStringList details {lengthText(video.duration)};
    if (video.uploadDate.isValid()) {
        details << QLocale(QLocale::French).toString(video.uploadDate, u"d MMMM yyyy"_s);
    }
    details.removeAll(QString());
    m_details->setText(details.join(u" · "_s));
    m_title->setVisible(!m_title->text().isEmpty());
    m_channel->setVisible(!m_channel->text().isEmpty());
    m_details->setVisible(!m_details->text().isEmpty());
    m_missing->setVisible(!video.described);
    m_subtitles->showLanguages(video);
    showPlaceholder();
    m_thumbnail = video.described ? video.thumbnail : QUrl();
    m_thumbnail.isEmpty() ? m_fetcher->stop() : m_fetcher->fetch(m_thumbnail);
    show();
}

void VideoCard::clear()
{
    m_fetcher->stop();
    m_thumbnail.clear();
    for (QLabel *label : {m_title, m_channel, m_details}) {
        label->clear();
    }
    m_subtitles->clear();
    showPlaceholder();
    hide();
}

QString VideoCard::lengthText(double seconds)
{
    if (seconds < 0) {
        return {};
    }
    const qint64 whole = qRound64(seconds);
    // Minutes take two digits only after the hours.
    const QString tail = u"%1:%2"_s.arg(whole / 60 % 60, whole < 3600 ? 1 : 2, 10, QChar(u'0'))
                             .arg(whole % 60, 2, 10, QChar(u'0'));
    return whole < 3600 ? tail : QString::number(whole / 3600) + u':' + tail;
}

void VideoCard::decode(const QUrl &address, const QString &path)
{
    // Decoded off the main thread: a large or hostile file must not stall the window.
    auto image = std::make_shared<QImage>();
    QThread *thread = QThread::create([image, path] { *image = readPicture(path); });
    connect(thread, &QThread::finished, this,
            [this, address, image] { showPicture(address, *image); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void VideoCard::showPicture(const QUrl &address, const QImage &image)
{
    if (address != m_thumbnail) {
        return;
    }
    if (image.isNull()) {
        return showPlaceholder();
    }
    m_picture->setPixmap(QPixmap::fromImage(
        image.scaled(pictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    m_picture->setAccessibleDescription(tr("Image de la vidéo"));
}

void VideoCard::showPlaceholder()
{
    QPixmap grey(pictureSize);
    grey.fill(palette().color(QPalette::Mid));
    m_picture->setPixmap(grey);
    m_picture->setAccessibleDescription(tr("Pas d'image pour cette vidéo"));
}
