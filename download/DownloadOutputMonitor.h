// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

/// What a progress line says: its percentage and, as the downloader writes them, the speed
/// ("1.23MiB/s") and the time left ("00:05"), empty when it does not know them.
struct DownloadProgress
{
    double percent = 0;
    QByteArray speed;
    QByteArray timeLeft;
    /// Which of how many files is being fetched (1 of 2); 0 when not known. The monitor
    /// leaves these to the download runner, which counts the files.
    int file = 0;
    int files = 0;
};

/// Reads the downloader's merged output as it arrives, cuts it into lines across reads (LF,
/// CR LF and lone CR each end a line) and reports what each line announces.
class DownloadOutputMonitor final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadOutputMonitor)

public:
    explicit DownloadOutputMonitor(QObject *parent = nullptr);

    /// Bytes as read from the process; a line or a UTF-8 character may be split anywhere.
    /// Only the first 64 KiB of a line are examined.
    void feed(const QByteArray &chunk);
    /// End of output: an unfinished last line is examined now. The monitor is then empty
    /// and ready for another stream.
    void finish();

signals:
    /// "[download] Destination: <path>": the file about to be written, as the exact bytes
    /// of its name (which need not be valid UTF-8).
    void destinationAnnounced(const QByteArray &path);
    /// "[ExtractAudio] Destination: <path>" or "[Merger] Merging formats into "<path>"": the
    /// file that the converter is about to write.
    void conversionAnnounced(const QByteArray &path);
    /// "[download] <path> has already been downloaded": a final file written before.
    void fileAlreadyPresent(const QByteArray &path);
    /// "Deleting original file <path> (pass -k to keep)": a file that is no final one.
    void originalDeleted(const QByteArray &path);
    /// "Downloading <n> format(s): 137+140, 18": how many files the download fetches (3).
    void filesAnnounced(int count);
    /// A "[download] " line whose first text is a number followed by "%".
    void progressChanged(const DownloadProgress &progress);
    /// An "ERROR:" line, without that prefix, or the last line of a Python traceback
    /// (isTracebackEnd()).
    void errorReported(const QString &line);
    /// "WARNING: Unable to download video subtitles for 'fr': HTTP Error 429: …" (or "ERROR:"):
    /// the language and the downloader's words after it ("HTTP Error 429: …").
    void subtitlesMissed(const QString &language, const QString &cause);

private:
    void examineLine(const QByteArray &line);

    QByteArray m_pending;
    bool m_pendingCarriageReturn = false;
};
