// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

class DownloadOutputMonitor;
class QProcess;

/// Removes the file at `path` before the downloader writes it, but only a regular file or
/// a link whose path lies inside `folder`: never a folder, never anything outside. A failed
/// removal is logged ("Fichier <path> ne peut être supprimé : <reason>"). Returns whether a
/// file was removed.
bool deleteFile(const QString &path, const QString &folder);

/// Runs one download: "/bin/bash" with the given arguments, both output channels merged
/// into the monitor, in a process group of its own. One download at a time.
class DownloadRunner final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadRunner)

public:
    explicit DownloadRunner(QObject *parent = nullptr);
    ~DownloadRunner() override;

    /// Logs the arguments and starts the shell; `folder` is the chosen folder, the only
    /// place where announced destinations may be removed. Ignored while running.
    void start(const QStringList &arguments, const QString &folder);
    bool isRunning() const;

    /// Ends the whole process group and removes the partial files (<destination>.part) of
    /// the destinations announced; ends with cancelled().
    void cancel();
    /// For quitting: ends the process group and waits for it, at most a few seconds.
    void stopAndWait();

signals:
    void started();
    /// A destination was announced (any old file there is already removed).
    void destinationAnnounced(const QString &path);
    void progressChanged(double percent);
    // Each started download ends with exactly one of the three signals below.
    void finished();
    /// "Échec du téléchargement : " with the last error line, or the exit status.
    void failed(const QString &message);
    void cancelled();

private:
    void readOutput();
    void processFinished(int exitCode, int exitStatus);
    void processErrorOccurred();

    QProcess *m_process = nullptr;
    DownloadOutputMonitor *m_monitor = nullptr;
    QString m_folder;
    QDateTime m_startTime;
    QStringList m_destinations;
    QString m_lastError;
    bool m_cancelling = false;
};
