// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/ProgressReadout.h"

#include <algorithm>
#include <cmath>

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
// Fifteen updates a second: smooth to the eye, a small fraction of the downloader's work.
constexpr auto updateInterval = 66ms;
// The bar counts tenths of a percent.
constexpr double barScale = 10.0;

// "1.23MiB/s" as a French reader writes it: "1,23 Mio/s".
QString frenchSpeed(const QByteArray &speed)
{
    static const QRegularExpression pattern(u"^(\\d+(?:\\.(\\d+))?)([KMGT]?)(i?)B/s$"_s);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(speed));
    if (!match.hasMatch()) {
        return QString::fromLatin1(speed);
    }
    return QLocale(QLocale::French)
               .toString(match.captured(1).toDouble(), 'f',
                         static_cast<int>(match.capturedLength(2)))
        + u' ' + match.captured(3) + (match.capturedLength(4) > 0 ? u"io/s"_s : u"o/s"_s);
}
} // namespace

ProgressReadout::ProgressReadout(QProgressBar *bar, QLabel *details, QObject *parent)
    : QObject(parent)
    , m_bar(bar)
    , m_details(details)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(updateInterval);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_pending) {
            apply();
        }
    });
    reset();
}

void ProgressReadout::show(const DownloadProgress &progress)
{
    m_latest = progress;
    m_pending = true;
    // The first report shows at once; those that follow wait for the next update.
    if (!m_timer->isActive()) {
        apply();
    }
}

void ProgressReadout::reset()
{
    m_timer->stop();
    m_pending = false;
    m_bar->setValue(0);
    m_bar->setFormat(barText(0));
    m_details->clear();
}

QString ProgressReadout::barText(double percent)
{
    return QLocale(QLocale::French).toString(percent, 'f', 1) + u" %"_s;
}

QString ProgressReadout::detailsText(const DownloadProgress &progress)
{
    QStringList parts;
    if (progress.files > 1) {
        parts << tr("fichier %1 sur %2").arg(progress.file).arg(progress.files);
    }
    if (!progress.speed.isEmpty()) {
        parts << frenchSpeed(progress.speed);
    }
    if (!progress.timeLeft.isEmpty()) {
        parts << tr("encore %1").arg(QString::fromLatin1(progress.timeLeft));
    }
    return parts.join(u" · "_s);
}

void ProgressReadout::apply()
{
    m_pending = false;
    const double tenths = std::round(m_latest.percent * barScale);
    m_bar->setValue(
        static_cast<int>(std::clamp(tenths, 0.0, static_cast<double>(m_bar->maximum()))));
    m_bar->setFormat(barText(std::clamp(m_latest.percent, 0.0, 100.0)));
    m_details->setText(detailsText(m_latest));
    m_timer->start();
}
