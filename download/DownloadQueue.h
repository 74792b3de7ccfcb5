// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "download/DownloadJob.h"

class DownloadRunner;
class JobStore;
class QueueModel;
class QTimer;

/// The downloads, run in the queue's order, at most maximumRunning() at once, each through
/// a runner of its own (a process group, the cleanup of an unfinished file). Every change of
/// a job's state is stored at once, so that the queue comes back at the next start.
///
/// Pause ends the job's process group and keeps its partial files; the next run carries on
/// from them (--continue). Cancel removes what the job left unfinished, as a cancelled
/// download always did. A job that fails for a passing cause (isPassingFailure) is tried
/// again once, after retryDelay(), extracting afresh.
class DownloadQueue final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadQueue)

public:
    /// Fills in what a run needs besides the job's request: the tools' paths and the
    /// downloader's options. Returns why it cannot run, in French (a tool missing), or
    /// nothing.
    using Preparation = std::function<QString(DownloadRequest &request)>;

    static constexpr int defaultMaximumRunning = 2;
    static constexpr int highestMaximumRunning = 8;
    static constexpr std::chrono::seconds defaultRetryDelay {10};

    /// `store` may be null, or not open: the queue then lives in memory. It must outlive the
    /// queue.
    explicit DownloadQueue(JobStore *store, QObject *parent = nullptr);
    /// Pauses what runs and waits for it, as pauseAllAndWait() does.
    ~DownloadQueue() override;

    QueueModel *model() const;
    void setPreparation(Preparation preparation);
    /// From 1 to highestMaximumRunning; more jobs start at once when raised. Lowered, the
    /// jobs already running go on.
    void setMaximumRunning(int count);
    int maximumRunning() const;
    void setRetryDelay(std::chrono::milliseconds delay);
    /// While held, no job starts (the downloader is being replaced); those running go on.
    void setHeld(bool held);

    /// Takes back the stored jobs, once, at start, before any is added: those that were
    /// running or waiting come back paused, or waiting when `resume` is set. Without an open
    /// store, nothing comes back and storeProblem() says why, if the store knows.
    void restore(bool resume);

    /// Queues the job at the end and starts it when its turn comes; returns its id.
    qint64 add(DownloadJob job);
    /// Queues the jobs at the end in their order, in one go (one insertion into the model,
    /// at most one activeChanged()); returns their ids.
    QList<qint64> addAll(QList<DownloadJob> jobs);
    /// The job of the id; nullptr when there is none.
    const DownloadJob *job(qint64 id) const;
    /// Whether a job runs or waits for its turn or its retry.
    bool isActive() const;
    int runningCount() const;

    // The user's actions on one job; each does nothing where it makes no sense (pausing a
    // finished job).
    /// Running or waiting: ends its process group, keeps its partial files, "En pause".
    void pause(qint64 id);
    /// Paused: waits for its turn again.
    void resume(qint64 id);
    /// Running, waiting or paused: removes its unfinished files, "Annulé".
    void cancel(qint64 id);
    /// Failed or cancelled (or waiting for its automatic retry): waits for its turn again,
    /// its progress reset. A failed job carries on from what its runs left; a cancelled
    /// one, whose files are gone, starts afresh.
    void retry(qint64 id);
    /// Takes an ended or paused job off the list (a paused one's partial files stay).
    void remove(qint64 id);
    /// Moves the jobs to `row`, in their order.
    void move(const QList<qint64> &ids, int row);
    void pauseAll();
    void resumeAll();
    /// Takes the finished jobs off the list.
    void clearFinished();

    /// For quitting: pauses every running and waiting job and waits for the process groups
    /// (a few seconds at most); they come back paused.
    void pauseAllAndWait();
    /// For quitting: cancels every job that has not ended and waits for the process groups.
    void cancelAllAndWait();

signals:
    /// A run starts: the job is Running and stored; emitted before the downloader starts.
    void jobStarted(qint64 id);
    /// The file being written or converted (any old file there is already removed).
    void destinationAnnounced(qint64 id, const QString &path);
    void progressChanged(qint64 id, const DownloadProgress &progress);
    /// Each run of a job ends with one of the four below, once the job has its new state
    /// and before other jobs start in its place; a failure that is retried automatically is
    /// not one of them. A waiting job that is paused or cancelled gets its signal too.
    void jobFinished(qint64 id, const QStringList &files, const QString &folder);
    /// The message as the runner gives it ("Échec du téléchargement : ..."); the job's
    /// reason is its explanation alone. A job that would start but whose preparation
    /// refuses fails with the refusal.
    void jobFailed(qint64 id, const QString &message, const QString &detail);
    void jobCancelled(qint64 id);
    void jobPaused(qint64 id);
    /// Whether anything runs or waits has changed (isActive()).
    void activeChanged(bool active);
    /// The store could not be opened or written: its French problem.
    void storeProblem(const QString &message);

private:
    void startWaiting();
    void startJob(qint64 id);
    void connectRunner(qint64 id, DownloadRunner *runner);
    void runEnded(qint64 id);
    void runFailed(qint64 id, const QString &message, const QString &detail);
    /// The job as it stands now; a copy to change and give to setState().
    DownloadJob jobCopy(qint64 id) const;
    void setState(DownloadJob job);
    void store(const DownloadJob &job);
    void storeOrder();
    /// Removes what the job's runs left unfinished; no process of its own may run.
    void removeUnfinished(DownloadJob &job);
    void removeJobs(const QList<qint64> &ids);
    void retryTimePassed();
    void armRetryTimer();
    void updateActive();

    JobStore *m_store = nullptr;
    QueueModel *m_model = nullptr;
    Preparation m_preparation;
    QHash<qint64, DownloadRunner *> m_runners;
    QTimer *m_retryTimer = nullptr;
    std::chrono::milliseconds m_retryDelay = defaultRetryDelay;
    int m_maximumRunning = defaultMaximumRunning;
    bool m_held = false;
    // Quitting: what ends does not let another job start.
    bool m_stopping = false;
    bool m_wasActive = false;
    qint64 m_nextMemoryId = -1;
};
