// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "download/DownloadCommand.h"
#include "download/DownloadOutputMonitor.h"

/// Where a job of the queue stands.
enum class JobState { Waiting, Running, Paused, Finished, Failed, Cancelled };

/// In French, as the queue shows it: "En attente", "En cours", "En pause", "Terminé",
/// "Échec", "Annulé".
QString jobStateText(JobState state);
/// The name a state is stored under ("waiting", "running", ...), which never changes.
QString jobStateId(JobState state);
/// The state stored under `id`; Paused for an unknown one, which a user may resume.
JobState jobStateFromId(const QString &id);

/// One download of the queue: what was asked, as it was when queued, and where it stands.
/// A plain value: the queue owns the jobs, and the store keeps a copy of each.
struct DownloadJob
{
    /// The store's row id; unique within a queue. 0 until the queue takes the job.
    qint64 id = 0;

    // What was asked.
    /// The folder, address, formats, audio settings, merge container and naming, as they
    /// were when the job was queued. The tools' paths, the downloader's options and the list
    /// of final files are filled in at each run, so that an updated downloader is used.
    DownloadRequest request;
    /// The video's title and the cached picture's path, when the listing gave them.
    QString title;
    QString picturePath;
    /// What is fetched, in French, for the queue's row ("Meilleure qualité", "Formats 137,
    /// 140", "Audio mp3").
    QString fetched;

    // Where it stands.
    JobState state = JobState::Waiting;
    /// Failed: the French message and the downloader's own line; empty otherwise.
    QString reason;
    QString detail;
    DownloadProgress progress;
    /// Finished, but with something missing, in French ("Sous-titres fr non téléchargés : …");
    /// empty otherwise.
    QString warning {};
    /// The final files, once Finished.
    QStringList files;
    /// The files that its runs announced: what a cancel of the paused job cleans up beside.
    QStringList destinations;
    /// Whether a run has started: the next one carries on from the partial files it left.
    bool begun = false;
    /// The automatic retries used (one at most).
    int retries = 0;
    /// Waiting for an automatic retry: when it starts; null otherwise. Not stored: a job
    /// waiting for its retry comes back paused.
    QDateTime retryAt;
    QDateTime added;
    QDateTime ended;

    /// The title, or the address when the title is not known.
    QString name() const { return title.isEmpty() ? request.address : title; }
    /// Running, or waiting to run (its turn, or its automatic retry).
    bool isActive() const { return state == JobState::Waiting || state == JobState::Running; }
    /// Finished, failed or cancelled: nothing more happens unless asked.
    bool hasEnded() const
    {
        return state == JobState::Finished || state == JobState::Failed
            || state == JobState::Cancelled;
    }
};
