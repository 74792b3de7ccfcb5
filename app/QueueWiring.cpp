// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/QueueWiring.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#include "app/DesktopNotification.h"
#include "app/QueuePanel.h"
#include "download/DownloadQueue.h"
#include "download/QueueModel.h"
#include "download/QueueNotices.h"

namespace {
// Each of the ids, one at a time: the queue leaves out those to which the action does not
// apply.
template<typename Action> auto eachJob(DownloadQueue *queue, Action action)
{
    return [queue, action](const QList<qint64> &ids) {
        for (const qint64 id : ids) {
            (queue->*action)(id);
        }
    };
}
} // namespace

void connectQueue(QueuePanel *panel, DownloadQueue *queue, QWidget *window)
{
    QObject::connect(panel, &QueuePanel::pauseRequested, queue,
                     eachJob(queue, &DownloadQueue::pause));
    QObject::connect(panel, &QueuePanel::resumeRequested, queue,
                     eachJob(queue, &DownloadQueue::resume));
    QObject::connect(panel, &QueuePanel::cancelRequested, queue,
                     eachJob(queue, &DownloadQueue::cancel));
    QObject::connect(panel, &QueuePanel::retryRequested, queue,
                     eachJob(queue, &DownloadQueue::retry));
    QObject::connect(panel, &QueuePanel::removeRequested, queue,
                     eachJob(queue, &DownloadQueue::remove));
    QObject::connect(panel, &QueuePanel::pauseAllRequested, queue, &DownloadQueue::pauseAll);
    QObject::connect(panel, &QueuePanel::resumeAllRequested, queue, &DownloadQueue::resumeAll);
    QObject::connect(panel, &QueuePanel::clearFinishedRequested, queue,
                     &DownloadQueue::clearFinished);
    QObject::connect(panel, &QueuePanel::moveRequested, queue, &DownloadQueue::move);
    QObject::connect(queue->model(), &QueueModel::moveRequested, queue, &DownloadQueue::move);
    QObject::connect(panel, &QueuePanel::openFolderRequested, queue, [queue](qint64 id) {
        if (const DownloadJob *job = queue->job(id)) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(job->request.folder));
        }
    });

    auto *notices = new QueueNotices(panel);
    QObject::connect(queue, &DownloadQueue::jobFinished, notices,
                     [notices](qint64 id) { notices->jobFinished(id); });
    QObject::connect(queue, &DownloadQueue::jobFailed, notices,
                     [queue, notices](qint64 id, const QString &message) {
                         const DownloadJob *job = queue->job(id);
                         notices->jobFailed(id, job ? job->name() : QString(), message);
                     });
    QObject::connect(queue, &DownloadQueue::activeChanged, notices, &QueueNotices::activeChanged);
    QObject::connect(notices, &QueueNotices::notice, window,
                     [window](const QString &summary, const QString &body) {
                         if (!window->isActiveWindow()) {
                             notifyDesktop(summary, body);
                         }
                     });
}
