// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/QueueNotices.h"

#include <algorithm>

#include <QStringList>
#include <QTimer>

using namespace Qt::StringLiterals;

QueueNotices::QueueNotices(QObject *parent)
    : QObject(parent)
    , m_quiet(new QTimer(this))
{
    m_quiet->setSingleShot(true);
    m_quiet->setInterval(defaultQuietTime);
    connect(m_quiet, &QTimer::timeout, this, &QueueNotices::tell);
}

void QueueNotices::setQuietTime(std::chrono::milliseconds quietTime)
{
    m_quiet->setInterval(quietTime);
}

bool QueueNotices::isPending() const
{
    return m_quiet->isActive();
}

void QueueNotices::jobFinished(qint64 id)
{
    Q_UNUSED(id)
    ++m_finished;
    m_quiet->start();
}

void QueueNotices::jobFailed(qint64 id, const QString &name, const QString &message)
{
    Q_UNUSED(id)
    ++m_failed;
    m_newFailures.append({name, message});
    m_quiet->start();
}

void QueueNotices::activeChanged(bool active)
{
    // A queue that starts again within the quiet time (a retry, a job added) has not emptied.
    m_emptied = !active;
    if (m_emptied || !m_newFailures.isEmpty()) {
        m_quiet->start();
    } else {
        m_quiet->stop();
    }
}

void QueueNotices::tell()
{
    QString summary;
    QStringList body;
    // A queue paused or cancelled to the end, with nothing done, has nothing to tell.
    if (m_emptied && m_finished + m_failed > 0) {
        summary = tr("File d'attente terminée");
        QString counts = m_finished <= 1 ? tr("%1 téléchargement terminé").arg(m_finished)
                                         : tr("%1 téléchargements terminés").arg(m_finished);
        if (m_failed > 0) {
            counts += tr(", %1 en échec").arg(m_failed);
        }
        body << counts;
        m_finished = 0;
        m_failed = 0;
    }
    if (m_newFailures.size() == 1) {
        const Failure &failure = m_newFailures.constFirst();
        if (summary.isEmpty()) {
            summary = tr("Échec du téléchargement");
        }
        body << failure.name << failure.message;
    } else if (!m_newFailures.isEmpty()) {
        const QString failed = tr("Échec de %1 téléchargements").arg(m_newFailures.size());
        if (summary.isEmpty()) {
            summary = failed;
        } else {
            body << failed;
        }
        // The first few names; a notification is no list.
        for (const Failure &failure :
             m_newFailures.first(std::min<qsizetype>(m_newFailures.size(), 5))) {
            body << failure.name;
        }
        if (m_newFailures.size() > 5) {
            body << u"…"_s;
        }
    }
    m_newFailures.clear();
    m_emptied = false;
    if (!summary.isEmpty()) {
        emit notice(summary, body.join(u'\n'));
    }
}
