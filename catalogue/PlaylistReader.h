// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "catalogue/PlaylistEntry.h"
#include "tools/Cookies.h"
#include "tools/DownloaderOptions.h"
#include "tools/ShellProcess.h"

/// The entries of a list (a playlist, or a channel's videos), read from the downloader's
/// flat listing as it writes them: one JSON object a line, the first ones shown while the
/// rest are still coming.
class PlaylistReader final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlaylistReader)

public:
    /// A channel of thousands of videos is listed a page at a time: minutes, not seconds.
    static constexpr std::chrono::milliseconds defaultTimeout {600'000};
    /// A line longer than this is no entry, and is skipped.
    static constexpr qsizetype lineLimit = 1024 * 1024;
    /// Beyond this many entries, the listing is stopped and what was read is kept.
    static constexpr int entryLimit = 100'000;
    /// The downloader prints an entry a line, a page of them at a time: after a short read the
    /// pipe rests this long, not the tools' usual 100 ms, so that an entry is shown soon after
    /// it is written and a full pipe never holds the downloader back for long.
    static constexpr std::chrono::milliseconds readingRest {20};

    explicit PlaylistReader(QObject *parent = nullptr);
    /// Stops a running listing with its whole process group, without emitting anything.
    ~PlaylistReader() override;

    /// The command line: "<path> --ignore-config --flat-playlist --lazy-playlist -j
    /// [--js-runtimes …] [--cookies … | --cookies-from-browser …] -- <address>", path,
    /// address and values each one quoted word: the chosen options (composeChosenOptions())
    /// without the fixed ones, as "--no-playlist" would keep the list from being read.
    static QString composeCommand(const QString &youtubeDLPath, const QString &address,
                                  const DownloaderOptions &options = {});

    /// Starts a listing; ignored while one is running. With a cookies.txt, a private copy of it
    /// is given to the downloader and removed when the listing ends; a file that cannot be
    /// given fails the listing at once (failed() just after this returns), without starting
    /// anything.
    void start(const QString &youtubeDLPath, const QString &address,
               const DownloaderOptions &options = {});
    bool isRunning() const;
    /// Stops a running listing with its whole process group; it ends with cancelled().
    void cancel();
    /// A listing still running after this time is stopped; it ends with failed().
    void setTimeout(std::chrono::milliseconds timeout);

signals:
    /// Entries in list order, as many as one read of the output gave.
    void entriesRead(const QList<PlaylistEntry> &entries);

    // Each started listing ends with exactly one of these three signals.

    /// Every entry has been read (`count` in all, maybe none); `cut`: the list went beyond
    /// entryLimit and the listing was stopped there.
    void finished(int count, bool cut);
    /// A translated message: the downloader could not be started, did not answer in time,
    /// or listed no entry and reported an error, explained when it is a common one (the
    /// downloader's line is then the detail).
    void failed(const QString &message, const QString &detail);
    void cancelled();

private:
    void readOutput(const QByteArray &chunk);
    void readLine(QByteArrayView line);
    void processEnded(const ShellProcess::End &end);
    // Ends the listing started with `message`, without having run anything.
    void refuse(const QString &message);

    ShellProcess *m_process = nullptr;
    CookieCopy m_cookieCopy;
    // A refused start whose failed() is on its way.
    bool m_refusing = false;
    // The unterminated tail of the last read, and whether it has gone past lineLimit (the
    // rest of that line is then skipped).
    QByteArray m_line;
    bool m_lineTooLong = false;
    // The last lines that were no entry: where the downloader's error is.
    QByteArray m_messages;
    QList<PlaylistEntry> m_batch;
    int m_count = 0;
    int m_order = 0;
    bool m_cut = false;
};
