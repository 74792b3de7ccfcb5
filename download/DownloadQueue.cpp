// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadQueue.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QFile>
#include <QTimer>

#include "download/DestinationCleanup.h"
#include "download/DownloadRunner.h"
#include "download/JobStore.h"
#include "download/QueueModel.h"
#include "tools/FailureExplanation.h"
#include "tools/Logging.h"

using namespace Qt::StringLiterals;

namespace {
// What a job that no longer runs shows of its last progress: the percentage alone.
void stopProgress(DownloadJob &job)
{
    job.progress.speed.clear();
    job.progress.timeLeft.clear();
}
} // namespace

DownloadQueue::DownloadQueue(JobStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_model(new QueueModel(this))
    , m_retryTimer(new QTimer(this))
{
    // Armed only while a retry is pending, so that an idle queue never wakes up.
    m_retryTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, &DownloadQueue::retryTimePassed);
    connect(m_model, &QueueModel::moveRequested, this, &DownloadQueue::move);
}

DownloadQueue::~DownloadQueue()
{
    // Receivers may be half destroyed by now (a parent window): store without telling.
    blockSignals(true);
    pauseAllAndWait();
}

QueueModel *DownloadQueue::model() const
{
    return m_model;
}

void DownloadQueue::setPreparation(Preparation preparation)
{
    m_preparation = std::move(preparation);
}

void DownloadQueue::setMaximumRunning(int count)
{
    m_maximumRunning = std::clamp(count, 1, highestMaximumRunning);
    startWaiting();
}

int DownloadQueue::maximumRunning() const
{
    return m_maximumRunning;
}

void DownloadQueue::setRetryDelay(std::chrono::milliseconds delay)
{
    m_retryDelay = delay;
}

void DownloadQueue::setHeld(bool held)
{
    m_held = held;
    startWaiting();
}

void DownloadQueue::restore(bool resume)
{
    if (!m_store) {
        return;
    }
    if (!m_store->isOpen()) {
        if (!m_store->problem().isEmpty()) {
            emit storeProblem(m_store->problem());
        }
        return;
    }
    QList<DownloadJob> jobs = m_store->load();
    for (DownloadJob &job : jobs) {
        // No process of the last run is left: what ran carries on from its partial files.
        job.retryAt = {};
        if (job.isActive()) {
            job.state = resume ? JobState::Waiting : JobState::Paused;
            stopProgress(job);
            store(job);
        }
    }
    m_model->reset(jobs);
    startWaiting();
    updateActive();
}

qint64 DownloadQueue::add(DownloadJob job)
{
    return addAll({std::move(job)}).constFirst();
}

QList<qint64> DownloadQueue::addAll(QList<DownloadJob> jobs)
{
    QList<qint64> ids;
    for (DownloadJob &job : jobs) {
        job.state = JobState::Waiting;
        job.begun = false;
        job.retries = 0;
        job.retryAt = {};
        if (!job.added.isValid()) {
            job.added = QDateTime::currentDateTime();
        }
        if (!m_store) {
            job.id = m_nextMemoryId--;
        } else if (!m_store->insert(job) && m_store->isOpen()) {
            emit storeProblem(m_store->problem());
        }
        ids << job.id;
    }
    m_model->appendAll(jobs);
    startWaiting();
    updateActive();
    return ids;
}

const DownloadJob *DownloadQueue::job(qint64 id) const
{
    return m_model->job(id);
}

bool DownloadQueue::isActive() const
{
    const QList<DownloadJob> &jobs = m_model->jobs();
    return std::any_of(jobs.cbegin(), jobs.cend(),
                       [](const DownloadJob &job) { return job.isActive(); });
}

int DownloadQueue::runningCount() const
{
    return static_cast<int>(m_runners.size());
}

void DownloadQueue::pause(qint64 id)
{
    const DownloadJob *found = m_model->job(id);
    if (!found) {
        return;
    }
    // A running job is paused once its process group has ended.
    if (found->state == JobState::Running) {
        if (DownloadRunner *runner = m_runners.value(id)) {
            runner->pause();
        }
        return;
    }
    if (found->state != JobState::Waiting) {
        return;
    }
    DownloadJob job = *found;
    job.state = JobState::Paused;
    job.retryAt = {};
    setState(job);
    armRetryTimer();
    emit jobPaused(id);
    updateActive();
}

void DownloadQueue::resume(qint64 id)
{
    const DownloadJob *found = m_model->job(id);
    if (!found || found->state != JobState::Paused) {
        return;
    }
    DownloadJob job = *found;
    job.state = JobState::Waiting;
    setState(job);
    startWaiting();
    updateActive();
}

void DownloadQueue::cancel(qint64 id)
{
    const DownloadJob *found = m_model->job(id);
    if (!found) {
        return;
    }
    // A running job is cancelled by its runner, which knows what this run wrote.
    if (found->state == JobState::Running) {
        if (DownloadRunner *runner = m_runners.value(id)) {
            runner->cancel();
        }
        return;
    }
    if (found->state != JobState::Waiting && found->state != JobState::Paused) {
        return;
    }
    DownloadJob job = *found;
    removeUnfinished(job);
    job.state = JobState::Cancelled;
    job.progress = {};
    job.retryAt = {};
    job.begun = false;
    job.ended = QDateTime::currentDateTime();
    setState(job);
    armRetryTimer();
    emit jobCancelled(id);
    updateActive();
}

void DownloadQueue::retry(qint64 id)
{
    const DownloadJob *found = m_model->job(id);
    if (!found
        || !(found->state == JobState::Failed || found->state == JobState::Cancelled
             || (found->state == JobState::Waiting && found->retryAt.isValid()))) {
        return;
    }
    DownloadJob job = *found;
    // A failed run's partial files are still there for the downloader to carry on from.
    if (job.state == JobState::Cancelled) {
        job.begun = false;
    }
    job.state = JobState::Waiting;
    job.reason.clear();
    job.detail.clear();
    job.warning.clear();
    job.progress = {};
    job.files.clear();
    job.retries = 0;
    job.retryAt = {};
    job.ended = {};
    setState(job);
    armRetryTimer();
    startWaiting();
    updateActive();
}

void DownloadQueue::remove(qint64 id)
{
    const DownloadJob *found = m_model->job(id);
    if (found && (found->hasEnded() || found->state == JobState::Paused)) {
        removeJobs({id});
    }
}

void DownloadQueue::move(const QList<qint64> &ids, int row)
{
    // Each job goes before the row that was at `row`, after the ones moved before it.
    for (qint64 id : ids) {
        const int from = m_model->rowOf(id);
        if (from < 0) {
            continue;
        }
        m_model->move(id, row);
        if (from >= row) {
            ++row;
        }
    }
    storeOrder();
}

void DownloadQueue::pauseAll()
{
    QList<qint64> active;
    for (const DownloadJob &job : m_model->jobs()) {
        if (job.isActive()) {
            active << job.id;
        }
    }
    for (qint64 id : std::as_const(active)) {
        pause(id);
    }
}

void DownloadQueue::resumeAll()
{
    QList<qint64> paused;
    for (const DownloadJob &job : m_model->jobs()) {
        if (job.state == JobState::Paused) {
            paused << job.id;
        }
    }
    // All wait again before any starts, so that they start in the queue's order.
    for (qint64 id : std::as_const(paused)) {
        DownloadJob job = jobCopy(id);
        job.state = JobState::Waiting;
        setState(job);
    }
    startWaiting();
    updateActive();
}

void DownloadQueue::clearFinished()
{
    QList<qint64> finished;
    for (const DownloadJob &job : m_model->jobs()) {
        if (job.state == JobState::Finished) {
            finished << job.id;
        }
    }
    removeJobs(finished);
}

void DownloadQueue::pauseAllAndWait()
{
    m_stopping = true;
    pauseAll();
    // Each runner reports its pause before pauseAndWait() returns.
    const QList<DownloadRunner *> runners = m_runners.values();
    for (DownloadRunner *runner : runners) {
        runner->pauseAndWait();
    }
    m_stopping = false;
}

void DownloadQueue::cancelAllAndWait()
{
    m_stopping = true;
    QList<qint64> open;
    for (const DownloadJob &job : m_model->jobs()) {
        if (job.state == JobState::Waiting || job.state == JobState::Paused) {
            open << job.id;
        }
    }
    for (qint64 id : std::as_const(open)) {
        cancel(id);
    }
    const QList<DownloadRunner *> runners = m_runners.values();
    for (DownloadRunner *runner : runners) {
        runner->stopAndWait();
    }
    m_stopping = false;
}

void DownloadQueue::startWaiting()
{
    if (m_held || m_stopping) {
        return;
    }
    QList<qint64> due;
    for (const DownloadJob &job : m_model->jobs()) {
        if (job.state == JobState::Waiting && !job.retryAt.isValid()) {
            due << job.id;
        }
    }
    for (qint64 id : std::as_const(due)) {
        if (runningCount() >= m_maximumRunning || m_held) {
            break;
        }
        // A start may have ended at once, and changed what waits.
        const DownloadJob *job = m_model->job(id);
        if (job && job->state == JobState::Waiting && !job->retryAt.isValid()) {
            startJob(id);
        }
    }
}

void DownloadQueue::startJob(qint64 id)
{
    DownloadJob job = jobCopy(id);
    DownloadRequest request = job.request;
    request.continuePartial = job.begun;
    const QString refusal = m_preparation ? m_preparation(request) : QString();
    if (!refusal.isEmpty()) {
        job.state = JobState::Failed;
        job.reason = refusal;
        job.detail.clear();
        job.ended = QDateTime::currentDateTime();
        setState(job);
        emit jobFailed(id, refusal, {});
        return;
    }
    job.begun = true;
    job.state = JobState::Running;
    stopProgress(job);
    setState(job);
    auto *runner = new DownloadRunner(this);
    connectRunner(id, runner);
    m_runners.insert(id, runner);
    emit jobStarted(id);
    runner->start(request);
}

void DownloadQueue::connectRunner(qint64 id, DownloadRunner *runner)
{
    // What cancelling the paused job must clean up beside; stored, as it must outlive a quit.
    const auto announced = [this, id](const QString &path) {
        DownloadJob job = jobCopy(id);
        if (!job.destinations.contains(path)) {
            job.destinations << path;
            setState(job);
        }
        emit destinationAnnounced(id, path);
    };
    connect(runner, &DownloadRunner::destinationAnnounced, this, announced);
    connect(runner, &DownloadRunner::conversionAnnounced, this, announced);
    // Progress is shown, never stored: it comes many times a second.
    connect(runner, &DownloadRunner::progressChanged, this,
            [this, id](const DownloadProgress &progress) {
                m_model->setProgress(id, progress);
                emit progressChanged(id, progress);
            });
    // Said right before the end, and kept with the finished job.
    auto warning = std::make_shared<QString>();
    connect(runner, &DownloadRunner::warned, this,
            [warning](const QString &text) { *warning = text; });
    connect(runner, &DownloadRunner::finished, this, [this, id, warning](const QStringList &files) {
        runEnded(id);
        DownloadJob job = jobCopy(id);
        job.state = JobState::Finished;
        job.warning = *warning;
        job.files = files;
        job.progress.percent = 100;
        stopProgress(job);
        job.ended = QDateTime::currentDateTime();
        setState(job);
        emit jobFinished(id, files, job.request.folder);
        startWaiting();
        updateActive();
    });
    connect(runner, &DownloadRunner::failed, this,
            [this, id](const QString &message, const QString &detail) {
                runFailed(id, message, detail);
            });
    connect(runner, &DownloadRunner::cancelled, this, [this, id] {
        runEnded(id);
        DownloadJob job = jobCopy(id);
        job.state = JobState::Cancelled;
        job.progress = {};
        job.destinations.clear();
        job.begun = false;
        job.ended = QDateTime::currentDateTime();
        setState(job);
        emit jobCancelled(id);
        startWaiting();
        updateActive();
    });
    connect(runner, &DownloadRunner::paused, this, [this, id] {
        runEnded(id);
        DownloadJob job = jobCopy(id);
        job.state = JobState::Paused;
        stopProgress(job);
        setState(job);
        emit jobPaused(id);
        startWaiting();
        updateActive();
    });
}

void DownloadQueue::runEnded(qint64 id)
{
    // Deleted later: the runner is still emitting.
    if (DownloadRunner *runner = m_runners.take(id)) {
        runner->deleteLater();
    }
}

void DownloadQueue::runFailed(qint64 id, const QString &message, const QString &detail)
{
    runEnded(id);
    DownloadJob job = jobCopy(id);
    stopProgress(job);
    // The downloader's line when explained; otherwise the message holds it.
    if (job.retries == 0 && isPassingFailure(detail.isEmpty() ? message : detail)) {
        qCInfo(lcQuorvel).noquote()
            << u"Nouvel essai dans %1 ms : %2"_s.arg(m_retryDelay.count()).arg(job.request.address);
        job.retries = 1;
        job.state = JobState::Waiting;
        job.retryAt = QDateTime::currentDateTime().addMSecs(m_retryDelay.count());
        setState(job);
        armRetryTimer();
    } else {
        const QString prefix = DownloadRunner::failurePrefix();
        job.state = JobState::Failed;
        job.reason = message.startsWith(prefix) ? message.sliced(prefix.size()) : message;
        job.detail = detail;
        job.ended = QDateTime::currentDateTime();
        setState(job);
        emit jobFailed(id, message, detail);
    }
    startWaiting();
    updateActive();
}

DownloadJob DownloadQueue::jobCopy(qint64 id) const
{
    const DownloadJob *job = m_model->job(id);
    return job ? *job : DownloadJob {};
}

void DownloadQueue::setState(DownloadJob job)
{
    if (m_model->rowOf(job.id) < 0) {
        return;
    }
    m_model->update(job);
    store(job);
}

void DownloadQueue::store(const DownloadJob &job)
{
    if (m_store && m_store->isOpen() && !m_store->save(job)) {
        emit storeProblem(m_store->problem());
    }
}

void DownloadQueue::storeOrder()
{
    QList<qint64> ids;
    for (const DownloadJob &job : m_model->jobs()) {
        ids << job.id;
    }
    if (m_store && m_store->isOpen() && !m_store->setOrder(ids)) {
        emit storeProblem(m_store->problem());
    }
}

void DownloadQueue::removeUnfinished(DownloadJob &job)
{
    const QByteArray folder = QFile::encodeName(job.request.folder);
    for (const QString &destination : std::as_const(job.destinations)) {
        removeUnfinishedBeside(QFile::encodeName(destination), folder);
    }
    job.destinations.clear();
}

void DownloadQueue::removeJobs(const QList<qint64> &ids)
{
    if (ids.isEmpty()) {
        return;
    }
    for (qint64 id : ids) {
        m_model->remove(id);
    }
    if (m_store && m_store->isOpen() && !m_store->remove(ids)) {
        emit storeProblem(m_store->problem());
    }
}

void DownloadQueue::retryTimePassed()
{
    const QDateTime now = QDateTime::currentDateTime();
    QList<qint64> pending;
    for (const DownloadJob &job : m_model->jobs()) {
        if (job.state == JobState::Waiting && job.retryAt.isValid()) {
            pending << job.id;
        }
    }
    // Each pending row shows its countdown anew; those whose time has come wait for a turn.
    for (qint64 id : std::as_const(pending)) {
        DownloadJob job = jobCopy(id);
        if (job.retryAt <= now) {
            job.retryAt = {};
        }
        m_model->update(job);
    }
    startWaiting();
    armRetryTimer();
    updateActive();
}

void DownloadQueue::armRetryTimer()
{
    const QDateTime now = QDateTime::currentDateTime();
    qint64 next = -1;
    for (const DownloadJob &job : m_model->jobs()) {
        if (job.state != JobState::Waiting || !job.retryAt.isValid()) {
            continue;
        }
        // Wakes when the countdown's shown second changes, or when the time comes.
        const qint64 remaining = std::max<qint64>(0, now.msecsTo(job.retryAt));
        const qint64 wake
            = remaining % 1000 == 0 ? std::min<qint64>(remaining, 1000) : remaining % 1000;
        next = next < 0 ? wake : std::min(next, wake);
    }
    if (next < 0) {
        m_retryTimer->stop();
    } else {
        m_retryTimer->start(static_cast<int>(next));
    }
}

void DownloadQueue::updateActive()
{
    const bool active = isActive();
    if (active != m_wasActive) {
        m_wasActive = active;
        emit activeChanged(active);
    }
}
