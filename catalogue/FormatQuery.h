// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "catalogue/VideoDescription.h"
#include "catalogue/formatYoutube.h"
#include "tools/Cookies.h"
#include "tools/DownloaderOptions.h"
#include "tools/FailureExplanation.h"
#include "tools/ShellProcess.h"

class QThread;

/// The downloader's format listing, run asynchronously through the shell with both output
/// channels merged and read to the end.
class FormatQuery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatQuery)

public:
    static constexpr std::chrono::milliseconds defaultTimeout {120'000};

    explicit FormatQuery(QObject *parent = nullptr);
    /// Stops a running query; a listing being read is asked to stop, and waited for a
    /// moment at most.
    ~FormatQuery() override;

    /// The command line: "<path> -F -J -- <address>", path and address each one quoted word,
    /// with the shared options before "--". "-J" adds the video's description in JSON, on
    /// one line after the table.
    static QString composeCommand(const QString &youtubeDLPath, const QString &address,
                                  const DownloaderOptions &options = {});

    /// Starts a query; ignored while one is running. With a cookies.txt, a private copy of it
    /// is given to the downloader and removed when the query ends; a file that cannot be given
    /// fails the query at once (failed() just after this returns), without starting anything.
    void start(const QString &youtubeDLPath, const QString &address,
               const DownloaderOptions &options = {});
    bool isRunning() const;
    /// Stops a running query with its whole process group; it ends with failed(). A listing
    /// being read stops too: the query fails at once, and no longer runs.
    void cancel();
    /// A query still running after this time is stopped, with its whole process group.
    void setTimeout(std::chrono::milliseconds timeout);

signals:
    // Each started query ends with exactly one of these two signals.

    /// The output has been read to its end: every format line, in output order (maybe none).
    /// `cut`: the output went beyond what is kept (4 MiB), and formats may be missing.
    void formatsListed(const QList<formatYoutube> &formats, bool cut);
    /// Just before formatsListed(): what the listing told of the video (`described` false
    /// when it held no description, or one refused).
    void videoDescribed(const VideoDescription &video);
    /// Before videoDescribed(): the description was there but could not be read (beyond
    /// 32 MiB, or no JSON object); a translated message. The table is listed all the same.
    void descriptionRefused(const QString &message);
    /// A translated message: the downloader could not be started, did not answer in time,
    /// or listed nothing and reported an error, explained when it is a common one (the
    /// downloader's line is then the detail).
    void failed(const QString &message, const QString &detail);

private:
    struct Listing;

    // Ends the query started with `message`, without having run anything.
    void refuse(const QString &message);
    void readOutput(const QByteArray &chunk);
    void processEnded(const ShellProcess::End &end);
    void report(const Listing &listing, const QByteArray &output, const ShellProcess::End &end);

    ShellProcess *m_process = nullptr;
    QThread *m_parser = nullptr;
    CookieCopy m_cookieCopy;
    // A refused start whose failed() is on its way.
    bool m_refusing = false;
    // The table part of the output, and apart from it the last line that is a JSON object,
    // each kept up to its own size.
    QByteArray m_output;
    bool m_cut = false;
    QByteArray m_description;
    bool m_descriptionCut = false;
    bool m_atLineStart = true;
    bool m_inDescription = false;
};

/// Why a run of the downloader that gave nothing failed, in French, its line as the detail
/// when explained: it could not run, it wrote an error line or failed with a Python traceback
/// (its last line; explained and put into `failing`, "… impossible : %1"), or it failed
/// without a word. An empty message when it ended well and said nothing wrong.
Failure downloaderFailure(const ShellProcess::End &end, const QByteArray &output,
                          const QString &failing);
