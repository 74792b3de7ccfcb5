// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

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
    /// A "[download] " line whose first text is a number followed by "%".
    void progressChanged(double percent);
    /// An "ERROR:" line, without that prefix.
    void errorReported(const QString &line);

private:
    void examineLine(const QByteArray &line);

    QByteArray m_pending;
    bool m_pendingCarriageReturn = false;
};
