// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/PlaylistReader.h"

#include <utility>

#include "catalogue/FormatQuery.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
// Of the downloader's warnings and errors, the last ones are kept: its error is the last.
constexpr qsizetype messagesLimit = 64 * 1024;
} // namespace

PlaylistReader::PlaylistReader(QObject *parent)
    : QObject(parent)
    , m_process(new ShellProcess(this))
{
    m_process->setTimeLimit(defaultTimeout);
    m_process->setRestInterval(readingRest);
    connect(m_process, &ShellProcess::outputRead, this, &PlaylistReader::readOutput);
    connect(m_process, &ShellProcess::ended, this, &PlaylistReader::processEnded);
}

QString PlaylistReader::composeCommand(const QString &youtubeDLPath, const QString &address,
                                       const DownloaderOptions &options)
{
    // Not the shared options: they hold "--no-playlist"; the chosen ones (the JavaScript
    // runtime, the cookies) all the same. Lazily, so that the first entries come before the
    // whole list is known; "--" keeps an address that begins with "-" one.
    return shellQuote(youtubeDLPath) + u" --ignore-config --flat-playlist --lazy-playlist -j"_s
        + composeChosenOptions(options) + u" -- "_s + shellQuote(address);
}

PlaylistReader::~PlaylistReader()
{
    // The downloader ends before its cookies' copy goes: it writes them back as it ends, and
    // would make the file anew.
    m_process->disconnect(this);
    m_process->stopAndWait();
}

void PlaylistReader::start(const QString &youtubeDLPath, const QString &address,
                           const DownloaderOptions &options)
{
    if (isRunning()) {
        return;
    }
    m_line.clear();
    m_lineTooLong = false;
    m_messages.clear();
    m_batch.clear();
    m_count = 0;
    m_order = 0;
    m_cut = false;
    DownloaderOptions given = options;
    if (const QString problem = m_cookieCopy.giveTo(given); !problem.isEmpty()) {
        refuse(tr("Lecture de la liste impossible : %1").arg(problem));
        return;
    }
    m_process->start(composeCommand(youtubeDLPath, address, given));
}

bool PlaylistReader::isRunning() const
{
    return m_process->isRunning() || m_refusing;
}

void PlaylistReader::refuse(const QString &message)
{
    // Once start() has returned, as a run's end comes; running until then.
    m_refusing = true;
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            m_refusing = false;
            emit failed(message, {});
        },
        Qt::QueuedConnection);
}

void PlaylistReader::cancel()
{
    m_process->cancel();
}

void PlaylistReader::setTimeout(std::chrono::milliseconds timeout)
{
    m_process->setTimeLimit(timeout);
}

void PlaylistReader::readOutput(const QByteArray &chunk)
{
    QByteArrayView rest(chunk);
    while (!rest.isEmpty() && !m_cut) {
        const qsizetype end = rest.indexOf('\n');
        const QByteArrayView piece = end < 0 ? rest : rest.first(end);
        if (!m_lineTooLong) {
            m_line += piece;
            m_lineTooLong = m_line.size() > lineLimit;
            if (m_lineTooLong) {
                m_line.clear();
            }
        }
        if (end < 0) {
            break;
        }
        if (!m_lineTooLong) {
            readLine(m_line);
        }
        m_line.clear();
        m_lineTooLong = false;
        rest = rest.sliced(end + 1);
    }
    // One batch a read: a read is at most 64 KiB, some tens of entries, and small reads
    // come no more often than every readingRest.
    if (!m_batch.isEmpty()) {
        emit entriesRead(std::exchange(m_batch, {}));
    }
}

void PlaylistReader::readLine(QByteArrayView line)
{
    const QByteArrayView trimmed = line.trimmed();
    if (!trimmed.startsWith('{')) {
        if (!trimmed.isEmpty()) {
            m_messages.append(trimmed).append('\n');
            if (m_messages.size() > messagesLimit) {
                m_messages.remove(0, m_messages.size() - messagesLimit);
            }
        }
        return;
    }
    // An object that names nothing to download still takes its place in the list.
    ++m_order;
    if (auto entry = parsePlaylistEntry(trimmed, m_order)) {
        m_batch << std::move(*entry);
        ++m_count;
    }
    if (m_count >= entryLimit) {
        m_cut = true;
        m_process->cancel();
    }
}

void PlaylistReader::processEnded(const ShellProcess::End &end)
{
    // The downloader has written its cookies back, and is done with them.
    m_cookieCopy.remove();
    // A last line without its line break is a line all the same.
    if (!m_line.isEmpty() && !m_lineTooLong && !m_cut) {
        readLine(std::exchange(m_line, {}));
        if (!m_batch.isEmpty()) {
            emit entriesRead(std::exchange(m_batch, {}));
        }
    }
    if (m_cut) {
        emit finished(m_count, true);
        return;
    }
    switch (end.kind) {
    case ShellProcess::EndKind::TimedOut:
        emit failed(tr("Délai dépassé : le téléchargeur ne répond pas"), {});
        return;
    case ShellProcess::EndKind::Cancelled:
        emit cancelled();
        return;
    case ShellProcess::EndKind::FailedToStart:
        emit failed(tr("Impossible de lancer le téléchargeur : %1").arg(end.reason()), {});
        return;
    default:
        break;
    }
    // Entries read count more than an error about one of them.
    if (m_count == 0) {
        const Failure failure
            = downloaderFailure(end, m_messages, tr("Lecture de la liste impossible : %1"));
        if (!failure.message.isEmpty()) {
            emit failed(failure.message, failure.detail);
            return;
        }
    }
    emit finished(m_count, false);
}
