// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/ProgressReadout.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QStringList>
#include <QTimer>

#include "catalogue/FormatTableModel.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
// Ten updates of the bar a second look smooth; the speed and the time left change with every
// report and can only be read when they hold still a little longer.
constexpr auto updateInterval = 100ms;
constexpr qint64 detailsInterval = 500;
// The bar counts tenths of a percent.
constexpr double barScale = 10.0;

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
    // The bar draws its own background: its repaints leave the window behind it alone.
    bar->setAutoFillBackground(true);
    // A width of its own, whatever the text: a changing text then repaints the label alone,
    // without laying out the window again.
    const QFontMetrics metrics(details->font());
    details->setFixedSize(
        metrics.horizontalAdvance(u"fichier 10 sur 10 · 1 023,99 Kio/s · encore 00:00:00"_s),
        details->sizeHint().height());
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
    m_detailsShown.invalidate();
}

QString ProgressReadout::barText(double percent)
{
    static const QLocale french(QLocale::French);
    return french.toString(percent, 'f', 1) + u" %"_s;
}

QString ProgressReadout::detailsText(const DownloadProgress &progress)
{
    QStringList parts;
    if (progress.files > 1) {
        parts << tr("fichier %1 sur %2").arg(progress.file).arg(progress.files);
    }
    if (!progress.speed.isEmpty()) {
        parts << frenchByteQuantity(QString::fromLatin1(progress.speed));
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
    if (!m_detailsShown.isValid() || m_detailsShown.hasExpired(detailsInterval)
        || m_latest.file != m_detailsFile) {
        m_details->setText(detailsText(m_latest));
        m_detailsFile = m_latest.file;
        m_detailsShown.start();
    } else {
        // Too soon for the details: they wait for the next update, not for another report,
        // which may never come (the last one, or the one before a long conversion).
        m_pending = true;
    }
    // The value last: the bar repaints at once when it changes, and that one repaint takes
    // the new texts along, so the window is drawn and shown once per update.
    m_bar->setFormat(barText(std::clamp(m_latest.percent, 0.0, 100.0)));
    m_bar->setValue(
        static_cast<int>(std::clamp(tenths, 0.0, static_cast<double>(m_bar->maximum()))));
    m_timer->start();
}
