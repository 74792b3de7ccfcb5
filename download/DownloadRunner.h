// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QObject>
#include <QString>

#include "download/DestinationCleanup.h"
#include "tools/Cookies.h"
#include "tools/ShellProcess.h"

#include "download/DownloadOutputMonitor.h"

class QTemporaryFile;
struct DownloadRequest;

/// Runs one download: the request's command line through "/bin/bash -c", both output
/// channels read by the monitor, in a process group of its own. One download at a time.
class DownloadRunner final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadRunner)

public:
    explicit DownloadRunner(QObject *parent = nullptr);
    /// What every failed() message starts with: "Échec du téléchargement : ".
    static QString failurePrefix();
    /// Stops a download still running, as a cancel does, without telling anyone.
    ~DownloadRunner() override;

    /// Logs the shell's arguments and starts the download; its folder is the only place
    /// where files are ever removed. Ignored while running. With a cookies.txt, a private
    /// copy of it is given to the downloader and removed when the download ends; a file that
    /// cannot be given fails the download (failed() just after this returns, with why), and
    /// nothing is started.
    void start(const DownloadRequest &request);
    bool isRunning() const;

    /// Ends the whole process group and removes what the download leaves unfinished; ends
    /// with cancelled() once the group has ended.
    void cancel();
    /// For quitting: the same as cancel(), but waits for the group, a few seconds at most.
    void stopAndWait();
    /// Ends the whole process group and keeps the partial files, so that a run of the same
    /// request with continuePartial carries on from them; ends with paused().
    void pause();
    /// For quitting: the same as pause(), but waits for the group, a few seconds at most.
    void pauseAndWait();

signals:
    /// A destination was announced (any old file there is already removed).
    void destinationAnnounced(const QString &path);
    /// The file that the converter writes: the extracted audio, the merged file.
    void conversionAnnounced(const QString &path);
    void progressChanged(const DownloadProgress &progress);
    /// Right before finished(): the download ended well but lacks something, in French
    /// ("Sous-titres fr non téléchargés : le site reçoit trop de demandes (HTTP 429) ; …").
    void warned(const QString &warning);
    // Each started download ends with exactly one of the four signals below.
    /// With the final files, as the downloader named them once whole and in place
    /// (downloaded, merged, extracted, or found already downloaded), and in an audio download
    /// that keeps the video, the videos kept; never empty: a download that wrote no file
    /// fails.
    void finished(const QStringList &files);
    /// "Échec du téléchargement : " with the explanation of the last error line, the line
    /// itself, or the exit status, or "le téléchargeur n'a écrit aucun fichier" when it
    /// ended well without one; the detail is the downloader's line when explained.
    void failed(const QString &message, const QString &detail);
    void cancelled();
    void paused();

private:
    void announceDestination(const QByteArray &path);
    void announceProgress(DownloadProgress progress);
    void processEnded(const ShellProcess::End &end);
    /// The files that the downloader named final so far, as it wrote them.
    QList<QByteArray> namedFiles() const;
    /// The final files that are there, each once: see finished().
    QList<QByteArray> finalFiles() const;
    /// A download named by the title alone: those of `paths` that are there, whole, get their
    /// titles, and `paths` their new names.
    void giveTitles(QList<QByteArray> &paths) const;
    /// What warned() says of the missed subtitles; empty when none was missed.
    QString subtitleWarning() const;

    ShellProcess *m_process = nullptr;
    DownloadOutputMonitor *m_monitor = nullptr;
    DestinationCleanup m_cleanup;
    CookieCopy m_cookieCopy;
    // A refused start whose failed() is on its way.
    bool m_refusing = false;
    QString m_lastError;
    // The subtitles that the downloader could not fetch: language and its words why.
    QList<std::pair<QString, QString>> m_missedSubtitles;
    // The files that the output announced, and which of how many the downloader fetches.
    QList<QByteArray> m_produced;
    // Where the downloader names the final files; null when it could not be made.
    std::unique_ptr<QTemporaryFile> m_finalFilesList;
    bool m_titleOnly = false;
    // The languages whose subtitles lie beside the video as .srt files.
    QStringList m_subtitleFiles;
    // Asked to pause rather than cancel: the end keeps the files.
    bool m_pausing = false;
    bool m_keepsOriginals = false;
    int m_file = 0;
    int m_files = 0;
};
